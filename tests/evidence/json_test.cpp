// JSON as manifests carry it: what is written reads back as the same value in
// the same bytes, and text that is not JSON, or asks too much, is refused at
// the byte where it goes wrong.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "evidence/json_reader.h"
#include "evidence/json_writer.h"

namespace marlin::evidence {
namespace {

JsonValue read(std::string_view text) {
  JsonValue value;
  const Status status = readJson(text, value);
  EXPECT_TRUE(status.isOk()) << text << ": " << status.message();
  return value;
}

std::string refusal(std::string_view text, const JsonLimits& limits = {}) {
  JsonValue value;
  const Status status = readJson(text, value, limits);
  EXPECT_EQ(status.code(), StatusCode::BadData) << text;
  return status.message();
}

TEST(Json, WhatIsWrittenReadsBackAsTheSameValueInTheSameBytes) {
  JsonValue root = JsonValue::object();
  JsonValue& tool = root.add("tool", JsonValue::object());
  tool.add("name", JsonValue::string("marlin"));
  tool.add("quote", JsonValue::string("say \"hi\"\\ \n\t\x01 caf\xC3\xA9"));
  JsonValue& numbers = root.add("numbers", JsonValue::array());
  numbers.push(JsonValue::wholeNumber(std::numeric_limits<std::uint64_t>::max()));
  numbers.push(JsonValue::number(10.5));
  numbers.push(JsonValue::number(-3));
  numbers.push(JsonValue::number(0.1));
  numbers.push(JsonValue::number(1e-7));
  root.add("flags", JsonValue::array()).push(JsonValue::boolean(true));
  root.add("none", JsonValue());
  root.add("empty", JsonValue::object());
  root.add("nothing", JsonValue::array());

  const std::string written = writeJson(root);
  EXPECT_EQ(written,
            "{\n"
            "  \"tool\": {\n"
            "    \"name\": \"marlin\",\n"
            "    \"quote\": \"say \\\"hi\\\"\\\\ \\u000a\\u0009\\u0001 caf\xC3\xA9\"\n"
            "  },\n"
            "  \"numbers\": [\n"
            "    18446744073709551615,\n"
            "    10.5,\n"
            "    -3,\n"
            "    0.1,\n"
            "    1e-07\n"
            "  ],\n"
            "  \"flags\": [\n"
            "    true\n"
            "  ],\n"
            "  \"none\": null,\n"
            "  \"empty\": {},\n"
            "  \"nothing\": []\n"
            "}\n");
  const JsonValue back = read(written);
  EXPECT_EQ(back, root);
  EXPECT_EQ(writeJson(back), written);
  EXPECT_EQ(back.find("numbers")->items()[0].exactUnsigned(), std::numeric_limits<std::uint64_t>::max());
  EXPECT_FALSE(back.find("numbers")->items()[1].exactUnsigned());
  EXPECT_EQ(back.find("missing"), nullptr);
}

TEST(Json, EscapesNumbersAndSpacingReadAsJsonMeansThem) {
  EXPECT_EQ(read(R"("\u00e9\/\b\f\r")").text(), "\xC3\xA9/\b\f\r");
  // A character past the first plane comes as a surrogate pair.
  EXPECT_EQ(read(R"("\ud83d\ude00")").text(), "\xF0\x9F\x98\x80");
  EXPECT_EQ(read(R"("\u0000")").text(), std::string(1, '\0'));

  EXPECT_EQ(read("18446744073709551615").exactUnsigned(), std::numeric_limits<std::uint64_t>::max());
  const JsonValue tooLarge = read("18446744073709551616");
  EXPECT_FALSE(tooLarge.exactUnsigned());
  EXPECT_DOUBLE_EQ(tooLarge.numberValue(), 18446744073709551616.0);
  EXPECT_EQ(read("2.5e3").exactUnsigned(), 2500u);
  // A fraction too small for the double to keep: the whole double is written
  // in digits and reads back as the same number.
  const JsonValue rounded = read("18443372036854779807.5");
  EXPECT_EQ(rounded.exactUnsigned(), 18443372036854779904u);
  EXPECT_EQ(writeJson(rounded), "18443372036854779904\n");
  EXPECT_EQ(read(writeJson(rounded)), rounded);
  EXPECT_FALSE(read("-0.5").exactUnsigned());
  EXPECT_DOUBLE_EQ(read("-0.5").numberValue(), -0.5);

  const JsonValue spaced = read(" \t\r\n{ \"a\" : [ 1 , 2 ] , \"b\" : false }\n");
  ASSERT_EQ(spaced.kind(), JsonKind::Object);
  ASSERT_EQ(spaced.members().size(), 2u);
  EXPECT_EQ(spaced.members()[0].key, "a");
  EXPECT_EQ(spaced.find("a")->items().size(), 2u);
  EXPECT_EQ(spaced.find("b")->kind(), JsonKind::Bool);
}

TEST(Json, TextThatIsNotJsonOrAsksTooMuchIsRefusedWhereItGoesWrong) {
  EXPECT_EQ(refusal("{} x"), "JSON at byte 3: unexpected text after the JSON value");
  EXPECT_EQ(refusal(R"(["a\x"])"), "JSON at byte 3: unknown escape \\x");
  EXPECT_EQ(refusal(R"(["\ud83d"])"), "JSON at byte 2: a high surrogate \\u escape without the low one after it");
  EXPECT_EQ(refusal(R"(["\ud83d\u0041"])"), "JSON at byte 2: a high surrogate \\u escape without the low one after it");
  EXPECT_EQ(refusal(R"(["\ude00"])"), "JSON at byte 2: a low surrogate \\u escape without the high one before it");
  EXPECT_EQ(refusal(R"("\u12g4")"), "JSON at byte 5: \\u needs four hex digits");
  EXPECT_EQ(refusal(R"({"a": 1, "a": 2})"), "JSON at byte 9: the key \"a\" comes twice in one object");
  EXPECT_EQ(refusal("\"tab\there\""), "JSON at byte 4: a control character inside a string (write it as an escape)");
  EXPECT_EQ(refusal("012"), "JSON at byte 0: a number may not begin with 0");
  EXPECT_EQ(refusal("1."), "JSON at byte 2: a decimal point needs a digit after it");
  EXPECT_EQ(refusal("1e999"), "JSON at byte 0: a number out of range");
  EXPECT_EQ(refusal("[1 2]"), "JSON at byte 3: expected ',' or ']' in an array");
  EXPECT_EQ(refusal("{\"a\" 1}"), "JSON at byte 5: expected ':' after a key");
  EXPECT_EQ(refusal("{\"a\": 1,}"), "JSON at byte 8: expected a key in quotes");
  EXPECT_EQ(refusal("[tru]"), "JSON at byte 1: expected true");
  EXPECT_EQ(refusal("\"open"), "JSON at byte 5: the text ends inside a string");
  EXPECT_EQ(refusal(""), "JSON at byte 0: the text ends where a value belongs");
  EXPECT_EQ(refusal("+1"), "JSON at byte 0: unexpected character '+' where a value belongs");

  // As deep as allowed reads; one level more does not.
  const JsonLimits limits{4, 1000};
  JsonValue value;
  EXPECT_TRUE(readJson("[[[{\"a\":[]}]]]", value, JsonLimits{5, 1000}).isOk());
  EXPECT_EQ(refusal("[[[[[]]]]]", limits), "JSON at byte 4: nested deeper than 4 levels");
  EXPECT_EQ(refusal(std::string(1001, ' '), limits), "JSON text of 1001 bytes is over the limit of 1000");
  // The default depth keeps a hostile text from exhausting the stack.
  EXPECT_NE(refusal(std::string(100000, '[')).find("nested deeper than 64 levels"), std::string::npos);
}

}  // namespace
}  // namespace marlin::evidence
