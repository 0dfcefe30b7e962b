// Writes the starting corpora of the network fuzz targets into
// OUTPUT_ROOT/stream_parser, OUTPUT_ROOT/control_message and
// OUTPUT_ROOT/login_reply (the directories must exist):
//
//   net_fuzz_seeds fuzz/corpus

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "chunk_plan.h"
#include "net/control_message.h"
#include "net/ddns_messages.h"
#include "net/login_reply.h"
#include "net/net_test_support.h"
#include "seed_file.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using marlin::fuzzinput::encodeChunkPlan;

const auto startCode = [](std::uint8_t c) { return marlin::net::testing::startCoded(c); };
using marlin::net::testing::text;
const auto cat = marlin::net::testing::joined;
Bytes status() { return marlin::net::buildControlMessage(marlin::net::kStatusWords, {1, 2, 3, 4, 5}); }

// Frames with slice codes, sound packets, messages between and inside frames.
Bytes liveStream(int frames, std::size_t sliceBytes) {
  Bytes stream = text("tail of an earlier connection");
  for (int frame = 0; frame < frames; ++frame) {
    stream = cat({stream, startCode(frame % 5 == 0 ? 0xF9 : 0xF8)});
    for (std::uint8_t slice = 1; slice <= 3; ++slice) {
      stream = cat({stream, {0x00, 0x00, 0x01, slice}, Bytes(sliceBytes, static_cast<std::uint8_t>(0x20 + frame))});
      if (frame % 3 == 1 && slice == 2) {
        stream = cat({stream, status()});
      }
    }
    stream = cat({stream, startCode(0xFA), {0xEE, 0xEF}, Bytes(64, static_cast<std::uint8_t>(frame))});
    if (frame % 4 == 3) {
      stream = cat({stream, marlin::net::buildControlMessage(marlin::net::kStatusWord, {9})});
    }
  }
  return cat({stream, startCode(0xF8)});
}

// Byte patterns that come close to a start code without being one, in
// every mode, with real start codes after them.
Bytes nearMisses() {
  const Bytes misses = {0x01, 0x00, 0x01, 0xF8, 0x80, 0x00, 0x01, 0xFA, 0xFF, 0x00, 0x01, 0xFE, 0x00,
                        0x00, 0x01, 0xEF, 0x00, 0x00, 0x02, 0xF9, 0x00, 0x01, 0x00, 0x01, 0xF0, 0x00,
                        0x00, 0x00, 0x00, 0x01, 0x7F, 0x00, 0x10, 0x01, 0xF8, 0x00, 0x00, 0x11, 0xFE};
  Bytes stream = misses;
  for (std::uint8_t code : {0xF9, 0xFA, 0xF3}) {
    stream = cat({stream, startCode(code), {0xEE, 0xEF}, misses, misses});
  }
  return cat({stream, startCode(0xF8)});
}

bool streamParserSeeds(const std::string& dir) {
  const Bytes faults = cat({startCode(0xF8),  text("abc"),     startCode(0xFE), text("00g10007"), text("xyz"),
                            startCode(0xF8),  text("def"),     startCode(0xFE), text("08000008"), Bytes(300, '5'),
                            startCode(0xF9),  text("ghi"),     startCode(0xFA), text("pp1"),      startCode(0xFE),
                            text("000C000B"), startCode(0xF0), startCode(0xF8), text("jk"),       startCode(0xF8)});
  // 40000-byte frames fed four times: one frame outgrows the video buffer.
  const Bytes longFrame = cat({startCode(0xF9), Bytes(40000, 0x33), startCode(0xFA), text("pp"), Bytes(3000, 0x44)});
  return writeSeed(dir, "live-whole", encodeChunkPlan({0xFF}, 1, liveStream(12, 200))) &&
         writeSeed(dir, "live-bytewise", encodeChunkPlan({0x00}, 1, liveStream(6, 40))) &&
         writeSeed(dir, "live-odd-pieces", encodeChunkPlan({0x02, 0x06, 0x00, 0x0C, 0x04}, 1, liveStream(8, 90))) &&
         writeSeed(dir, "faults", encodeChunkPlan({0x01, 0x02}, 2, faults)) &&
         writeSeed(dir, "near-misses", encodeChunkPlan({0x40, 0x05}, 1, nearMisses())) &&
         writeSeed(dir, "long-frame", encodeChunkPlan({0xF3, 0x10}, 4, longFrame));
}

bool controlMessageSeeds(const std::string& dir) {
  Bytes login;
  if (!marlin::net::buildLoginFor("secret", login).isOk()) {
    return false;
  }
  return writeSeed(dir, "status", status()) && writeSeed(dir, "login", login) &&
         writeSeed(dir, "key", marlin::net::buildRemoteKeyMessage(132)) &&
         writeSeed(dir, "bad-field", cat({startCode(0xFE), text("00100007 0g1")})) &&
         writeSeed(dir, "cp1252", text("Caf\xC3\xA9 \xE2\x82\xAC\xE2\x84\xA2 \xC5\xB8"));
}

bool loginReplySeeds(const std::string& dir) {
  using marlin::net::buildControlMessage;
  const Bytes wait = buildControlMessage(marlin::net::kLoginWait, {});
  const Bytes accept = buildControlMessage(marlin::net::kLoginAccepted, {});
  const Bytes refusal = cat({startCode(0xFE), text("000C00020002")});
  const auto reply = marlin::net::buildDdnsReply({0xC0A80102u, 8721});
  return writeSeed(dir, "wait-accept-stream",
                   encodeChunkPlan({0x03, 0x0A}, 1, cat({wait, accept, startCode(0xF9), text("frame")}))) &&
         writeSeed(dir, "refused", encodeChunkPlan({0x00}, 1, cat({wait, refusal}))) &&
         writeSeed(dir, "ddns", encodeChunkPlan({0x01, 0x05}, 1, Bytes(reply.begin(), reply.end())));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_ROOT\n", argv[0]);
    return 2;
  }
  const std::string root = argv[1];
  const bool ok = streamParserSeeds(root + "/stream_parser") && controlMessageSeeds(root + "/control_message") &&
                  loginReplySeeds(root + "/login_reply");
  return ok ? 0 : 1;
}
