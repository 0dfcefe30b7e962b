#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// A literal, one-byte-per-step model of how a recording is read, used as the
// oracle for the stream source's block-at-a-time scanner. It knows only the
// container's rules, not the scanner's shortcuts.
namespace marlin::testing {

struct ReferenceFrame {
  std::vector<std::uint8_t> bytes;
  bool isAudio = false;
  std::uint32_t channel = 0;
  std::uint64_t start = 0;  // the first byte of the frame's start code
};

struct ReferenceState {
  std::uint64_t position = 0;
  std::uint32_t audioChannelMask = 0;
  bool hasAudio = false;
  bool isAudio = false;
  std::uint16_t channelMask = 0;
  std::uint8_t frameInterval = 0;
  std::optional<std::uint32_t> blockTime;
};

class ReferenceReader {
 public:
  ReferenceReader(std::vector<std::uint8_t> recording, bool isDisk, bool bigEndian);

  // More of a recording that is still being written.
  void append(const std::vector<std::uint8_t>& bytes) {
    recording_.insert(recording_.end(), bytes.begin(), bytes.end());
  }

  void setPosition(std::uint64_t pos);
  void setPositionToEnd() { state_.position = recording_.size(); }
  bool setMark(std::uint64_t pos);

  // The delivered bytes (possibly empty) and whether a frame completed.
  std::optional<ReferenceFrame> readNext();
  std::optional<ReferenceFrame> readPrevious();
  std::optional<ReferenceFrame> readFromMark();

  const ReferenceState& state() const { return state_; }

 private:
  enum class Status { Good, Bad, Short };

  Status readBlock(std::uint64_t blockStart);
  static std::uint64_t startCodeBegin(std::uint64_t idPosition);
  void clear();
  std::optional<ReferenceFrame> forward();
  std::optional<ReferenceFrame> backward();

  std::vector<std::uint8_t> recording_;
  bool isDisk_;
  bool bigEndian_;
  std::uint64_t mark_ = 0;
  ReferenceState state_;
  std::vector<std::uint8_t> block_;
  std::uint32_t window_ = 0xFFFFFFFF;
  std::vector<std::uint8_t> frameBuf_;
  std::uint32_t count_ = 0;
  std::uint64_t frameStart_ = 0;
  bool collecting_ = false;
  bool backward_ = false;
};

}  // namespace marlin::testing
