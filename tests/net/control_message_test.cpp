#include "net/control_message.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "net/ansi_text.h"
#include "net/ddns_messages.h"
#include "net/login_reply.h"
#include "net/md5.h"
#include "net_test_support.h"

namespace marlin::net {
namespace {

std::vector<std::uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

const auto message = testing::controlBytes;

TEST(HexField, ReadsFourDigitsOfEitherCaseAndRefusesAnyOtherCharacter) {
  EXPECT_EQ(readHexField(bytesOf("002C").data()), 0x2C);
  EXPECT_EQ(readHexField(bytesOf("fFa0").data()), 0xFFA0);
  EXPECT_EQ(readHexField(bytesOf("00g1").data()), std::nullopt);
  EXPECT_EQ(readHexFieldOrZero(bytesOf("00g1").data()), 0);
  EXPECT_EQ(readHexField(bytesOf(" 12A").data()), std::nullopt);
}

TEST(ControlMessages, HaveTheWireLayoutOfTheProtocol) {
  EXPECT_EQ(buildRemoteKeyMessage(132), message("001000850084"));
  EXPECT_EQ(buildRemoteKeyMessage(300), message("00100085002C"));
  EXPECT_EQ(buildLogoutMessage(), message("000C0086"));
  EXPECT_EQ(buildControlMessage(kStatusWords, {1, 0xABCD}), message("001400080001ABCD"));
}

TEST(ControlMessages, LoginCarriesTheUppercaseDigestOfTheWindows1252Password) {
  std::vector<std::uint8_t> login;
  ASSERT_TRUE(buildLoginFor("", login));
  EXPECT_EQ(login, message("002C0081D41D8CD98F00B204E9800998ECF8427E"));
  // "é" is the one byte E9 in the code page: MD5 of that byte, not of UTF-8 C3 A9.
  ASSERT_TRUE(buildLoginFor("\xC3\xA9", login));
  EXPECT_EQ(login.size(), 44u);
  const std::uint8_t e9 = 0xE9;
  EXPECT_EQ(std::string(login.begin() + 12, login.end()), Md5::upperHex(Md5::of(&e9, 1)));
}

TEST(ControlMessages, ReadOnlyTheBytesThatArrived) {
  const auto status = message("00200008000100020003000400050006");
  const auto read = readControlMessage(status.data(), status.size());
  ASSERT_TRUE(read);
  EXPECT_EQ(read->length, 0x20);
  EXPECT_EQ(read->code, kStatusWords);
  // The length field says 32: the sixth field lies beyond it.
  EXPECT_EQ(read->parameters, (std::vector<std::uint16_t>{1, 2, 3, 4, 5}));
  // Cut after 2.5 parameters: two are there, the third is not.
  const auto cut = readControlMessage(status.data(), 22);
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->parameter(1), 2);
  EXPECT_EQ(cut->parameter(2), std::nullopt);
  // An invalid parameter reads as 0; an invalid or short length or code,
  // a wrong start code or a message cut before its code is no message.
  const auto bad = message("00100007zz01");
  EXPECT_EQ(readControlMessage(bad.data(), bad.size())->parameter(0), 0);
  for (const auto& broken : {message("000800070001"), message("00g100070001"), message("0010000x0001")}) {
    EXPECT_FALSE(readControlMessage(broken.data(), broken.size()));
  }
  auto wrongStart = status;
  wrongStart[3] = 0xFD;
  EXPECT_FALSE(readControlMessage(wrongStart.data(), wrongStart.size()));
  EXPECT_FALSE(readControlMessage(status.data(), 11));
}

TEST(AnsiText, MapsToWindows1252AndRefusesWhatItCannotHold) {
  EXPECT_EQ(toWindows1252("plain 123"), "plain 123");
  EXPECT_EQ(toWindows1252("\xC3\xA9\xC3\xBF\xC2\xA0"), "\xE9\xFF\xA0");          // é ÿ no-break space
  EXPECT_EQ(toWindows1252("\xE2\x82\xAC\xE2\x80\x9A\xC5\xB8"), "\x80\x82\x9F");  // € ‚ Ÿ
  EXPECT_EQ(toWindows1252("\xE2\x84\xA2"), "\x99");                              // ™
  for (const char* refused : {
           "\xC2\x81",          // U+0081: one of the code page's five holes
           "\xC2\x9D",          // U+009D, likewise
           "\xC2\x80",          // U+0080 is not €
           "\xE4\xB8\xAD",      // a CJK character
           "\xF0\x9F\x98\x80",  // an emoji
           "\xC3",              // cut short
           "\xC0\xAF",          // overlong "/"
           "\xED\xA0\x80",      // a surrogate
           "\xE9",              // Latin-1 rather than UTF-8
       }) {
    EXPECT_EQ(toWindows1252(refused), std::nullopt) << refused;
  }
}

TEST(ControlMessages, RefuseOverlongOrUnmappablePasswordsAndNamesRatherThanCutThem) {
  std::vector<std::uint8_t> login;
  EXPECT_TRUE(buildLoginFor(std::string(31, 'p'), login));
  const Status tooLong = buildLoginFor(std::string(32, 'p'), login);
  EXPECT_EQ(tooLong.code(), StatusCode::InvalidArgument);
  EXPECT_NE(tooLong.message().find("31"), std::string::npos) << tooLong.message();
  // 16 characters of two UTF-8 bytes each are 16 bytes in the code page.
  std::string accents;
  for (int i = 0; i < 16; ++i) {
    accents += "\xC3\xA9";
  }
  EXPECT_TRUE(buildLoginFor(accents, login));
  EXPECT_FALSE(buildLoginFor("\xE4\xB8\xAD", login));

  std::array<std::uint8_t, kDdnsQueryBytes> query{};
  EXPECT_FALSE(buildDdnsQuery("NINECHARS", query));
  EXPECT_FALSE(buildDdnsQuery("", query));
  EXPECT_FALSE(buildDdnsQuery("\xE4\xB8\xAD", query));
  ASSERT_TRUE(buildDdnsQuery("SHOP\xC3\xA9", query));
  EXPECT_EQ(query, (std::array<std::uint8_t, 12>{0x55, 0xAA, 0x55, 0xAA, 'S', 'H', 'O', 'P', 0xE9, 0, 0, 0}));
  EXPECT_EQ(readDdnsQuery(query.data(), query.size()), "SHOP\xE9");
  ASSERT_TRUE(buildDdnsQuery("EIGHTCHR", query));
  EXPECT_EQ(readDdnsQuery(query.data(), query.size()), "EIGHTCHR");
}

}  // namespace
}  // namespace marlin::net
