#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace marlin::fuzzmodel {

// What a stream parser delivered: 'v'ideo, 'a'udio or 'm'essage, and the bytes.
struct Piece {
  char kind;
  std::vector<std::uint8_t> bytes;
  bool operator==(const Piece&) const = default;
};

// The live stream's cutting rules, one byte at a time and written for
// plainness, not speed: the pieces are collected whole, tagged with each
// byte's stream position, and only cut to the buffer sizes when delivered. See stream_parser_model.cpp.
class StreamParserModel {
 public:
  void feed(std::uint8_t b);
  // Back to the start of a stream, keeping the buffers' room.
  void reset();
  std::vector<Piece> delivered;

 private:
  struct Tagged {
    std::uint64_t position;
    std::uint8_t byte;
  };
  enum class Mode { Skip, Video, Audio, Message };

  void deliver(char kind, const std::vector<Tagged>& bytes, std::size_t limit);
  void startCode(std::uint8_t code);
  static void dropFrom(std::vector<Tagged>& bytes, std::uint64_t position);

  std::uint64_t position_ = 0;  // of the byte being fed
  std::uint8_t window_[4] = {};
  Mode mode_ = Mode::Skip;
  Mode afterMessage_ = Mode::Skip;
  std::vector<Tagged> video_;
  std::vector<Tagged> audio_;
  int leadIn_ = 0;
  std::vector<std::uint8_t> message_;
  bool messageLengthKnown_ = false;
  bool messageBroken_ = false;
  std::size_t messageLength_ = 0;
};

}  // namespace marlin::fuzzmodel
