// The build's codec names to numbers, with the user told of a name in
// neither table.
#include "engine/codec_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace marlin {
namespace {

class RecordingMessageSink final : public MessageSink {
 public:
  void showMessage(std::string_view text, std::string_view caption) override {
    texts.emplace_back(text);
    captions.emplace_back(caption);
  }
  std::vector<std::string> texts;
  std::vector<std::string> captions;
};

TEST(CodecIds, VideoNamesResolveToTheirTablePosition) {
  const char* names[] = {"QK_QK4", "QK_QK9", "QK_QKN", "QK_QKT", "QK_QKT2", "QK_QKT3", "QK_QKC"};
  RecordingMessageSink sink;
  for (int variant = 0; variant < 7; ++variant) {
    EXPECT_EQ(resolveCodecVariant(names[variant], sink), variant) << names[variant];
  }
  EXPECT_TRUE(sink.texts.empty());
}

TEST(CodecIds, AudioNamesResolveFromOne) {
  const char* names[] = {"QK_UPCM8", "QK_SPCM8", "QK_UPCM16", "QK_SPCM16", "QK_ALAW", "QK_MLAW"};
  RecordingMessageSink sink;
  for (int id = 1; id <= 6; ++id) {
    EXPECT_EQ(resolveAudioCodecId(names[id - 1], sink), id) << names[id - 1];
  }
  EXPECT_TRUE(sink.texts.empty());
}

TEST(CodecIds, UnknownNamesGiveZeroAndTellTheUser) {
  // Near misses: prefixes, case, trailing characters.
  for (const char* name : {"", "QK_QKT4", "qk_qkt2", "QK_QKT2 ", "QK_QK", "QK_UPCM8"}) {
    RecordingMessageSink sink;
    EXPECT_EQ(resolveCodecVariant(name, sink), 0) << '"' << name << '"';
    ASSERT_EQ(sink.texts.size(), 1u) << '"' << name << '"';
    EXPECT_EQ(sink.texts[0], "Unkown Video Format");
  }
  for (const char* name : {"", "QK_PCM8", "qk_alaw", "QK_MLAW2", "QK_QKT2"}) {
    RecordingMessageSink sink;
    EXPECT_EQ(resolveAudioCodecId(name, sink), 0) << '"' << name << '"';
    ASSERT_EQ(sink.texts.size(), 1u) << '"' << name << '"';
    EXPECT_EQ(sink.texts[0], "Unkown Audio Format");
  }
}

TEST(CodecIds, BuildConfigurationResolvesWithoutMessages) {
  RecordingMessageSink sink;
  EXPECT_EQ(resolveCodecVariant(kBuildVideoCodecName, sink), 4);
  EXPECT_EQ(resolveAudioCodecId(kBuildAudioCodecName, sink), 1);
  EXPECT_TRUE(sink.texts.empty());
}

}  // namespace
}  // namespace marlin
