// Differential fuzz target: feeds arbitrary bytes, cut into arbitrary
// pieces (chunk_plan.h), to the StreamParser, and the same bytes one at a
// time to the reference model of the rules (stream_parser_model.cpp).
// After every piece the parser must have delivered exactly what the model
// delivered for the same bytes, in the same order.

#include <sanitizer/asan_interface.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "chunk_plan.h"
#include "net/stream_parser.h"
#include "stream_parser_model.h"

namespace {

using marlin::fuzzmodel::Piece;

class Collector : public marlin::net::StreamSink {
 public:
  void videoFrame(const std::uint8_t* data, std::size_t n) override { pieces.push_back({'v', {data, data + n}}); }
  void audioPacket(const std::uint8_t* data, std::size_t n) override { pieces.push_back({'a', {data, data + n}}); }
  void controlMessage(const std::uint8_t* data, std::size_t n) override { pieces.push_back({'m', {data, data + n}}); }
  std::vector<Piece> pieces;
};

// Each piece is handed over at an aligned place in one heap buffer with
// every byte around it poisoned, so AddressSanitizer catches a read on
// either side of it, to the byte, without an allocation per piece.
class PieceBuffer {
 public:
  PieceBuffer() : bytes_(static_cast<std::uint8_t*>(std::malloc(kBefore + kCapacity))) {
    ASAN_POISON_MEMORY_REGION(bytes_, kBefore + kCapacity);
  }
  ~PieceBuffer() {
    ASAN_UNPOISON_MEMORY_REGION(bytes_, kBefore + kCapacity);
    std::free(bytes_);
  }
  PieceBuffer(const PieceBuffer&) = delete;
  PieceBuffer& operator=(const PieceBuffer&) = delete;

  const std::uint8_t* place(const std::uint8_t* data, std::size_t n) {
    std::uint8_t* at = bytes_ + kBefore;
    // Only the difference to the last piece changes state.
    if (n > exposed_) {
      ASAN_UNPOISON_MEMORY_REGION(at + exposed_, n - exposed_);
    } else {
      ASAN_POISON_MEMORY_REGION(at + n, exposed_ - n);
    }
    exposed_ = n;
    std::memcpy(at, data, n);
    return at;
  }

  // The largest piece chunk_plan.h makes.
  static constexpr std::size_t kCapacity = 65536;

 private:
  static constexpr std::size_t kBefore = 64;
  std::uint8_t* bytes_;
  std::size_t exposed_ = 0;
};

[[noreturn]] void mismatch(std::size_t fedBytes, std::size_t index, const std::vector<Piece>& got,
                           const std::vector<Piece>& want) {
  std::fprintf(stderr, "stream_parser_fuzz: after %zu bytes, piece #%zu differs: parser delivered %zu, model %zu\n",
               fedBytes, index, got.size(), want.size());
  for (const auto* list : {&got, &want}) {
    if (index < list->size()) {
      const Piece& piece = (*list)[index];
      std::fprintf(stderr, "  %s: %c, %zu bytes\n", list == &got ? "parser" : "model", piece.kind, piece.bytes.size());
    }
  }
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  marlin::fuzzinput::ChunkPlan plan;
  if (!marlin::fuzzinput::parseChunkPlan(data, size, plan)) {
    return 0;
  }
  Collector collector;
  marlin::net::StreamParser parser(collector);
  // Kept from input to input, so that its buffers keep their room.
  static marlin::fuzzmodel::StreamParserModel model;
  model.reset();
  static PieceBuffer buffer;
  std::size_t compared = 0;
  marlin::fuzzinput::forEachChunk(plan, plan.stream.size(), [&](std::size_t at, std::size_t n) {
    parser.feed(buffer.place(plan.stream.data() + at, n), n);
    for (std::size_t i = at; i < at + n; ++i) {
      model.feed(plan.stream[i]);
    }
    if (collector.pieces.size() != model.delivered.size()) {
      mismatch(at + n, std::min(collector.pieces.size(), model.delivered.size()), collector.pieces, model.delivered);
    }
    for (; compared < collector.pieces.size(); ++compared) {
      if (!(collector.pieces[compared] == model.delivered[compared])) {
        mismatch(at + n, compared, collector.pieces, model.delivered);
      }
    }
    return true;
  });
  return 0;
}
