#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace marlin::net {

// Capacities of the parser's assembly buffers; longer pieces are cut there.
inline constexpr std::size_t kLiveVideoCapacity = 131072;
inline constexpr std::size_t kLiveAudioCapacity = 4096;
inline constexpr std::size_t kControlMessageCapacity = 1024;

// Where the parser delivers the pieces it cuts out. Called on the parser's
// thread; the data is only valid during the call.
class StreamSink {
 public:
  virtual ~StreamSink() = default;
  // A video frame from its own start code (00 00 01 F8 or F9) up to the
  // byte before the next F8, F9 or FA start code, delivered when that start
  // code ends; a control message inside it is not part of it.
  virtual void videoFrame(const std::uint8_t* data, std::size_t n) = 0;
  // An audio packet: the bytes after its start code and two lead-in bytes,
  // up to the next start code of any kind; never empty.
  virtual void audioPacket(const std::uint8_t* data, std::size_t n) = 0;
  // A complete control message, start code included; n is what was stored.
  virtual void controlMessage(const std::uint8_t* data, std::size_t n) = 0;
};

// Cuts a DVR's live stream into video frames, audio packets and control
// messages at their start codes (00 00 01 F0..FF), whatever the chunking of
// the bytes fed: video and audio pieces have no length and end where the
// next start code begins; a control message ends at its length field.
//
// Beyond the plain cutting rules: a control message inside a video frame
// is taken out of the frame completely (its start code too), so the frame
// arrives as sent; after a message that interrupted an audio packet the
// parser skips to the next start code rather than starting a bogus packet;
// a message longer than the message buffer, or with a length field below
// 12 or not hex, is skipped up to its length or the next start code and
// never delivered. The state carries over from one feed to the next, and
// from one connection to the next: the first start code ends whatever was
// being assembled. Nothing is allocated after construction.
class StreamParser {
 public:
  explicit StreamParser(StreamSink& sink);

  void feed(const std::uint8_t* data, std::size_t n);

 private:
  enum class Mode { Skip, Video, Audio, Message };

  // One byte through the shift register and the mode's rules.
  void storeByte(std::uint8_t b);
  // Bytes that end no start code, in video, skip or audio mode (lead-in
  // done); the caller sets the shift register afterwards.
  void storeRun(const std::uint8_t* data, std::size_t n);
  void startCodeEnded(std::uint8_t code);
  // True when b completed the message.
  bool messageByte(std::uint8_t b);
  void deliverVideo();

  StreamSink& sink_;
  std::uint32_t shift_ = 0xFFFFFFFF;
  Mode mode_ = Mode::Skip;
  // Where a control message returns to.
  Mode returnMode_ = Mode::Skip;
  // Which of the last four bytes were stored in the video frame or audio
  // packet, newest in bit 0: a start code takes those back out.
  unsigned recentStored_ = 0;
  std::vector<std::uint8_t> video_;
  std::size_t videoLength_ = 4;
  std::vector<std::uint8_t> audio_;
  std::size_t audioLength_ = 0;
  int audioLeadIn_ = 0;
  std::vector<std::uint8_t> message_;
  // The length field once read; 0 before, and for an invalid one.
  std::size_t messageTotal_ = 0;
  // Bytes of the current message counted, stored or not.
  std::size_t messageSeen_ = 0;
};

}  // namespace marlin::net
