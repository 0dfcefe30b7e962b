// Fuzz target for the login and lookup reply readers: arbitrary replies cut
// into arbitrary pieces (chunk_plan.h) give the same result as the same
// bytes fed at once. Pieces are fed, as the client does, only until the
// reader has decided; after an acceptance the kept stream bytes and the
// bytes not fed make up exactly what follows the acceptance.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "chunk_plan.h"
#include "net/ddns_messages.h"
#include "net/login_reply.h"

namespace {

using marlin::net::DdnsReplyReader;
using marlin::net::LoginReplyReader;

void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "login_reply_fuzz: %s\n", what);
    std::abort();
  }
}

void checkLogin(const marlin::fuzzinput::ChunkPlan& plan, const std::vector<std::uint8_t>& bytes) {
  LoginReplyReader whole;
  whole.feed(bytes.data(), bytes.size());
  if (whole.result() == LoginReplyReader::Result::NeedMore) {
    whole.endOfStream();
  }

  LoginReplyReader pieces;
  std::size_t fed = 0;
  marlin::fuzzinput::forEachChunk(plan, bytes.size(), [&](std::size_t at, std::size_t n) {
    const std::vector<std::uint8_t> piece(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                          bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
    pieces.feed(piece.data(), piece.size());
    fed = at + n;
    return pieces.result() == LoginReplyReader::Result::NeedMore;
  });
  if (pieces.result() == LoginReplyReader::Result::NeedMore) {
    pieces.endOfStream();
  }

  check(pieces.result() == whole.result(), "login result depends on the pieces");
  check(pieces.failureText() == whole.failureText(), "login failure text depends on the pieces");
  switch (whole.result()) {
    case LoginReplyReader::Result::Accepted: {
      std::vector<std::uint8_t> following = pieces.streamBytes();
      following.insert(following.end(), bytes.begin() + static_cast<std::ptrdiff_t>(fed), bytes.end());
      check(following == whole.streamBytes(), "stream bytes after the acceptance depend on the pieces");
      const auto& kept = whole.streamBytes();
      check(kept.size() + 12 <= bytes.size() &&
                std::equal(kept.begin(), kept.end(), bytes.end() - static_cast<std::ptrdiff_t>(kept.size())),
            "stream bytes are not the end of the reply");
      break;
    }
    case LoginReplyReader::Result::Refused: {
      const std::string& text = whole.failureText();
      check(text == "Too many client." || text == "Incorrect password." || text == "Bad network" ||
                text == "Unkown error.",
            "unknown refusal text");
      break;
    }
    case LoginReplyReader::Result::Malformed:
      check(whole.failureText() == "LOGIN ERROR", "malformed without LOGIN ERROR");
      break;
    case LoginReplyReader::Result::NeedMore:
      check(false, "undecided after the end of the stream");
  }
}

void checkDdns(const marlin::fuzzinput::ChunkPlan& plan, const std::vector<std::uint8_t>& bytes) {
  DdnsReplyReader whole;
  const DdnsReplyReader::Result wholeResult = whole.feed(bytes.data(), bytes.size());
  DdnsReplyReader pieces;
  DdnsReplyReader::Result piecesResult = DdnsReplyReader::Result::NeedMore;
  marlin::fuzzinput::forEachChunk(plan, bytes.size(), [&](std::size_t at, std::size_t n) {
    const std::vector<std::uint8_t> piece(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                          bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
    piecesResult = pieces.feed(piece.data(), piece.size());
    return true;
  });
  check(piecesResult == wholeResult, "lookup result depends on the pieces");
  const bool magic = bytes.size() >= 4 && std::memcmp(bytes.data(), marlin::net::kDdnsMagic, 4) == 0;
  const bool prefix =
      bytes.empty() || std::memcmp(bytes.data(), marlin::net::kDdnsMagic, std::min<std::size_t>(bytes.size(), 4)) == 0;
  if (bytes.size() >= 10 && magic) {
    check(wholeResult == DdnsReplyReader::Result::Answered, "a whole reply is not answered");
    const auto& answer = whole.answer();
    check(answer.address == (std::uint32_t{bytes[4]} << 24 | std::uint32_t{bytes[5]} << 16 |
                             std::uint32_t{bytes[6]} << 8 | bytes[7]) &&
              answer.port == (bytes[8] | bytes[9] << 8),
          "wrong address or port");
    check(pieces.answer().address == answer.address && pieces.answer().port == answer.port,
          "answer depends on the pieces");
  } else {
    check(wholeResult == (prefix ? DdnsReplyReader::Result::NeedMore : DdnsReplyReader::Result::BadMagic),
          "wrong lookup result");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  marlin::fuzzinput::ChunkPlan plan;
  if (!marlin::fuzzinput::parseChunkPlan(data, size, plan)) {
    return 0;
  }
  checkLogin(plan, plan.stream);
  checkDdns(plan, plan.stream);
  return 0;
}
