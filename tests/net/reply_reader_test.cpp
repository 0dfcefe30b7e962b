#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/control_message.h"
#include "net/ddns_messages.h"
#include "net/login_reply.h"
#include "net_test_support.h"

namespace marlin::net {
namespace {

using Login = LoginReplyReader::Result;
using Ddns = DdnsReplyReader::Result;

const auto message = testing::controlBytes;

using testing::joined;

// Feeds bytes in pieces of `piece` and returns the reader's final result.
Login feedInPieces(LoginReplyReader& reader, const std::vector<std::uint8_t>& bytes, std::size_t piece) {
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    reader.feed(bytes.data() + at, std::min(piece, bytes.size() - at));
  }
  return reader.result();
}

const std::vector<std::uint8_t> kWait = message("000C0001");
const std::vector<std::uint8_t> kAccept = message("000C0003");
const std::vector<std::uint8_t> kStream = {0x00, 0x00, 0x01, 0xF9, 0x11, 0x22};

TEST(LoginReply, WaitThenAcceptInOneReadLogsInAndKeepsTheStreamThatFollows) {
  const auto bytes = joined({kWait, kAccept, kStream});
  for (std::size_t piece : {bytes.size(), std::size_t{1}, std::size_t{5}, std::size_t{13}}) {
    // Fed until the acceptance, as the client does; the rest goes to the parser.
    LoginReplyReader reader;
    std::size_t at = 0;
    for (; at < bytes.size() && reader.result() == Login::NeedMore; at += piece) {
      reader.feed(bytes.data() + at, std::min(piece, bytes.size() - at));
    }
    ASSERT_EQ(reader.result(), Login::Accepted) << piece;
    std::vector<std::uint8_t> stream = reader.streamBytes();
    stream.insert(stream.end(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(at, bytes.size())), bytes.end());
    EXPECT_EQ(stream, kStream) << piece;
  }
}

TEST(LoginReply, WaitAloneNeedsMoreAndAnEndedStreamIsMalformed) {
  LoginReplyReader reader;
  EXPECT_EQ(reader.feed(kWait.data(), kWait.size()), Login::NeedMore);
  EXPECT_EQ(reader.feed(kAccept.data(), 7), Login::NeedMore);
  EXPECT_EQ(reader.endOfStream(), Login::Malformed);
  EXPECT_EQ(reader.failureText(), "LOGIN ERROR");
  // Once decided, the result stays.
  EXPECT_EQ(reader.feed(kAccept.data(), kAccept.size()), Login::Malformed);
}

TEST(LoginReply, RefusalReasonIsTheFieldAtByte12EvenWhenTheLengthSays12) {
  const std::pair<const char*, const char*> cases[] = {
      {"000C00020001", "Too many client."}, {"000C00020002", "Incorrect password."}, {"001000040003", "Bad network"},
      {"000C00020009", "Unkown error."},    {"000C0002zzzz", "Unkown error."},
  };
  for (const auto& [text, reason] : cases) {
    for (std::size_t piece : {1, 16}) {
      LoginReplyReader reader;
      EXPECT_EQ(feedInPieces(reader, joined({kWait, message(text)}), piece), Login::Refused) << text;
      EXPECT_EQ(reader.failureText(), reason) << text;
    }
  }
  // The DVR closed before the reason arrived: still a refusal.
  LoginReplyReader cut;
  const auto refusal = message("000C0002");
  cut.feed(refusal.data(), refusal.size());
  EXPECT_EQ(cut.endOfStream(), Login::Refused);
  EXPECT_EQ(cut.failureText(), "Unkown error.");
}

TEST(LoginReply, AnythingElseIsLoginErrorAndGarbageIsNotBuffered) {
  const std::vector<std::uint8_t> malformed[] = {
      {0x00, 0x00, 0x01, 0xFD},  // not the control start code
      {0x55},                    // decided from the first byte
      message("00080001"),       // length below 12
      message("0g0C0001"),       // length not hex
      message("04010001"),       // longer than the message buffer
      message("000C0007"),       // a code that is no login reply
      message("000C000x"),       // code not hex
  };
  for (const auto& bytes : malformed) {
    LoginReplyReader reader;
    EXPECT_EQ(reader.feed(bytes.data(), bytes.size()), Login::Malformed);
    EXPECT_EQ(reader.failureText(), "LOGIN ERROR");
  }
  // A long message of acceptable length waits whole; nothing past it is held.
  LoginReplyReader reader;
  const auto longWait = joined({message("0400"
                                        "0001"),
                                std::vector<std::uint8_t>(1024 - 12, '0')});
  EXPECT_EQ(feedInPieces(reader, joined({longWait, longWait, kAccept}), 100), Login::Accepted);
  EXPECT_TRUE(reader.streamBytes().empty());
}

TEST(DdnsReply, GivesTheAddressInHostOrderAndTheLittleEndianPortHoweverSplit) {
  const std::vector<std::uint8_t> reply = {0x55, 0xAA, 0x55, 0xAA, 0xC0, 0xA8, 0x01, 0x02, 0x11, 0x22, 0x99};
  for (std::size_t piece : {1, 3, 11}) {
    DdnsReplyReader reader;
    Ddns result = Ddns::NeedMore;
    for (std::size_t at = 0; at < reply.size(); at += piece) {
      result = reader.feed(reply.data() + at, std::min(piece, reply.size() - at));
    }
    ASSERT_EQ(result, Ddns::Answered);
    EXPECT_EQ(reader.answer().address, 0xC0A80102u);
    EXPECT_EQ(reader.answer().port, 8721);
  }
  EXPECT_EQ(buildDdnsReply({0xC0A80102u, 8721}),
            (std::array<std::uint8_t, 10>{0x55, 0xAA, 0x55, 0xAA, 0xC0, 0xA8, 0x01, 0x02, 0x11, 0x22}));

  DdnsReplyReader wrong;
  const std::uint8_t first[] = {0x55, 0xAA};
  const std::uint8_t rest[] = {0x55, 0xAB, 1, 2, 3, 4, 5, 6};
  EXPECT_EQ(wrong.feed(first, sizeof first), Ddns::NeedMore);
  EXPECT_EQ(wrong.feed(rest, sizeof rest), Ddns::BadMagic);
  EXPECT_EQ(wrong.feed(first, sizeof first), Ddns::BadMagic);
}

}  // namespace
}  // namespace marlin::net
