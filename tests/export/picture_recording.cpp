#include "picture_recording.h"

#include "codec/colour_convert.h"
#include "codec/encoder/video_encoder.h"
#include "support/synthetic_recording.h"

namespace marlin::exporttest {

namespace {

void drawPattern(YuvPicture& picture, unsigned channel, unsigned index) {
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      picture.y()[y * picture.width + x] =
          static_cast<std::uint8_t>(40 + (x / 4 + y + 13 * index + 50 * channel) % 150);
    }
  }
  const int chroma = picture.width * picture.height / 4;
  for (int i = 0; i < chroma; ++i) {
    picture.cb()[i] = static_cast<std::uint8_t>(100 + 30 * channel);
    picture.cr()[i] = static_cast<std::uint8_t>(140 - 10 * (index % 4));
  }
}

}  // namespace

PictureRecording makePictureRecording(const PictureRecordingOptions& options) {
  PictureRecording made;
  made.coded.resize(options.channels);
  made.begins.resize(options.channels);
  made.ends.resize(options.channels);
  const auto mask = static_cast<std::uint16_t>((1u << options.channels) - 1);
  synth::RecordingBuilder builder(false, mask, 0);
  encoder::VideoEncoder encoder;
  YuvPicture picture;
  picture.resize(640, 224);
  const auto addPicture = [&](unsigned channel, unsigned index) {
    drawPattern(picture, channel, index);
    encoder::EncodeParams params;
    params.channel = static_cast<int>(channel);
    params.quality = 2;
    made.coded[channel].push_back(encoder.encode(picture, params));
    made.begins[channel].push_back(builder.written());
    builder.append(made.coded[channel].back());
    made.ends[channel].push_back(builder.written());
  };
  builder.setTime(options.startTime);
  for (unsigned index = 0; index < options.leadingPicturesOfLastChannel; ++index) {
    addPicture(options.channels - 1, options.picturesPerChannel + index);
  }
  std::uint32_t sample = 0;
  for (unsigned index = 0; index < options.picturesPerChannel; ++index) {
    builder.setTime(options.startTime + index * options.secondsPerRound);
    for (unsigned channel = 0; channel < options.channels; ++channel) addPicture(channel, index);
    if (options.soundSamples != 0) {
      builder.append(synth::makeAudioFrame(0, options.soundSamples, sample));
      made.soundBytes[0] += options.soundSamples;
      if (!options.oneMicrophone) {
        builder.append(synth::makeAudioFrame(1, options.soundSamples / 2, sample));
        made.soundBytes[1] += options.soundSamples / 2;
      }
      sample += options.soundSamples;
    }
  }
  // A frame ends where the next one starts: the start code that a recording
  // still going on would hold next lets the reader complete the last frame.
  builder.append({0x00, 0x00, 0x01, 0xF8});
  made.bytes = builder.finish();
  return made;
}

std::vector<std::uint8_t> expectedFullPicture(const std::vector<std::uint8_t>& coded, int& width, int& height) {
  VideoDecoder decoder;
  decoder.Init(4);
  std::vector<std::uint8_t> yuv(VideoDecoder::kMaxPictureBytes);
  if (decoder.ParseHeader(coded.data(), coded.size()) == 0 ||
      decoder.Decode(coded.data(), coded.size(), yuv.data()) != 1) {
    return {};
  }
  width = decoder.GetWidth();
  const int fieldHeight = decoder.GetHeight();
  height = 2 * fieldHeight;
  const std::size_t row = static_cast<std::size_t>(width) * 3;
  std::vector<std::uint8_t> bottomUpField(row * fieldHeight);
  ToDib24(bottomUpField.data(), yuv.data(), width, fieldHeight);
  const auto fieldRow = [&](int i) { return bottomUpField.data() + i * row; };
  // Bottom-up row i of the full picture, written out as top-down line height - 1 - i.
  std::vector<std::uint8_t> full(row * height);
  for (int i = 0; i < height; ++i) {
    const bool copied = i % 2 == 0 || i == height - 1;
    std::uint8_t* line = full.data() + (height - 1 - i) * row;
    for (std::size_t b = 0; b < row; ++b) {
      line[b] =
          copied ? fieldRow(i / 2)[b] : static_cast<std::uint8_t>((fieldRow(i / 2)[b] + fieldRow(i / 2 + 1)[b]) / 2);
    }
  }
  return full;
}

}  // namespace marlin::exporttest
