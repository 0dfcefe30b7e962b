#pragma once

#include <string>
#include <vector>

namespace marlin {

// How AVI video is stored. Uncompressed frames are 24-bit bottom-up bitmaps;
// the others go through the FFmpeg encoder of that format.
enum class VideoCodec { Uncompressed, Mjpeg, Mpeg4, Ffv1, H264 };

// One compression choice: the codec and the settings of it that the encoder
// honours (FFV1 is lossless, so it takes no quality or data rate).
struct Compression {
  VideoCodec codec = VideoCodec::Uncompressed;
  // Frames from one key frame to the next; 1 makes every frame a key frame,
  // 0 one a second.
  int keyFrameInterval = 1;
  // 0 (smallest) to 10000 (best); -1 leaves the encoder's default.
  int quality = -1;
  // Bytes per second the encoder aims at; 0 lets quality decide.
  int dataRate = 0;

  // What every writer starts from: uncompressed, every frame a key frame.
  static Compression uncompressedDefault() { return {}; }
  // What a cancelled choice leaves behind: every setting 0.
  static Compression zeroed() { return {VideoCodec::Uncompressed, 0, 0, 0}; }

  bool operator==(const Compression&) const = default;
};

// The codecs this FFmpeg build can write, uncompressed first.
std::vector<VideoCodec> offeredVideoCodecs();

// The encoder's own long name; empty for uncompressed video, which no
// encoder handles.
std::string compressorDescription(VideoCodec codec);

}  // namespace marlin
