// What a check reads of manifest.json, and the manifests it refuses to trust
// with the field that is wrong.
#include "evidence/manifest.h"

#include <gtest/gtest.h>

#include <regex>

namespace marlin::evidence {
namespace {

const std::string kDigest = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

// As the export writes it, with the fields a check does not read.
const std::string kManifest = R"({
  "tool": {"name": "marlin", "version": "0.1.0"},
  "made": {"utc": "2026-12-10T14:41:01Z", "local": "2026-12-10 15:41:01 +0100"},
  "source": {"path": "/dev/sdb", "kind": "disk", "size": 123, "model": "WD", "serial": "X1"},
  "recording": {"variant": 6, "first_block_time": "2026-01-02 03:00:00", "last_block_time": "2026-01-02 04:00:00"},
  "range": {
    "asked":    {"start": 0, "end": 123, "start_time": "2026-01-02 03:04:00", "end_time": "2026-01-02 03:05:30"},
    "exported": {"start": 0, "end": 123, "start_time": "2026-01-02 03:04:05", "end_time": "2026-01-02 03:05:00"}
  },
  "channels": [1, 2],
  "clock": "The recorder's clock, as it was set.",
  "files": [
    {"name": "original.QKV", "size": 18446744073709551615, "sha256": "DIGEST", "blocks": 10},
    {"name": "CH1.mp4", "size": 123, "sha256": "DIGEST", "channel": 1, "pictures": 40, "duration": 10.0, "timing": "block time"}
  ]
})";

std::string manifestWith(const std::string& from, const std::string& to) {
  std::string text = std::regex_replace(kManifest, std::regex("DIGEST"), kDigest);
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.replace(at, from.size(), to);
}

std::string refusal(const std::string& text) {
  Manifest manifest;
  const Status status = readManifest(text, manifest);
  EXPECT_EQ(status.code(), StatusCode::BadData);
  return status.message();
}

TEST(Manifest, TheFieldsACheckNeedsAreReadAndTheRestLeftAlone) {
  Manifest manifest;
  const Status read = readManifest(manifestWith("", ""), manifest);
  ASSERT_TRUE(read.isOk()) << read.message();
  EXPECT_EQ(manifest.variant, kVariantQkc);
  EXPECT_EQ(formatCalendarTime(manifest.exportedStart), "2026-01-02 03:04:05");
  EXPECT_EQ(formatCalendarTime(manifest.exportedEnd), "2026-01-02 03:05:00");
  ASSERT_EQ(manifest.files.size(), 2u);
  EXPECT_EQ(manifest.files[0].name, "original.QKV");
  EXPECT_EQ(manifest.files[0].size, 18446744073709551615u);
  EXPECT_EQ(manifest.files[1].name, "CH1.mp4");
  EXPECT_EQ(manifest.files[1].size, 123u);
  EXPECT_EQ(manifest.files[1].sha256, kDigest);
}

TEST(Manifest, AFieldMissingMistypedOrOutsideTheFolderIsNamed) {
  EXPECT_EQ(refusal("[]"), "the whole text is an array, not an object");
  EXPECT_EQ(refusal("{"), "JSON at byte 1: expected a key in quotes");
  EXPECT_EQ(refusal(manifestWith("\"recording\"", "\"recorded\"")), "recording is missing");
  EXPECT_EQ(refusal(manifestWith("\"variant\": 6", "\"variant\": \"6\"")),
            "recording.variant is a string, not a number");
  EXPECT_EQ(refusal(manifestWith("\"variant\": 6", "\"variant\": 7")),
            "recording.variant is 7, where variants are 0 to 6");
  EXPECT_EQ(refusal(manifestWith("\"variant\": 6", "\"variant\": 1.5")),
            "recording.variant is not a whole number from 0 up");
  EXPECT_EQ(refusal(manifestWith("\"end_time\": \"2026-01-02 03:05:00\"", "\"end_time\": \"2026-01-02 3:05:00\"")),
            "range.exported.end_time \"2026-01-02 3:05:00\" is not a time written as "
            "YYYY-MM-DD hh:mm:ss");
  EXPECT_EQ(refusal(manifestWith("\"exported\"", "\"sent\"")), "range.exported is missing");
  EXPECT_EQ(refusal(manifestWith("\"files\": [", "\"files\": \"none\", \"x\": [")), "files is a string, not an array");
  EXPECT_EQ(refusal(manifestWith("\"size\": 123, \"sha256\"", "\"size\": -1, \"sha256\"")),
            "files[1].size is not a whole number from 0 up");
  EXPECT_EQ(refusal(manifestWith("\"CH1.mp4\"", "\"../CH1.mp4\"")),
            "files[1].name \"../CH1.mp4\" is not the name of a file in the folder");
  EXPECT_EQ(refusal(manifestWith("\"CH1.mp4\"", "\"original.QKV\"")), "files[1].name names original.QKV a second time");
  EXPECT_EQ(refusal(manifestWith("\"original.QKV\"", "\"CH2.mp4\"")), "files lists no original.QKV");
  EXPECT_EQ(refusal(manifestWith("\"sha256\": \"" + kDigest, "\"sha256\": \"" + kDigest.substr(2))),
            "files[0].sha256 is not 64 lowercase hex digits");
  EXPECT_EQ(refusal(manifestWith("{\"name\": \"CH1.mp4\"", "7, {\"name\": \"CH1.mp4\"")),
            "files[1] is a number, not an object");
}

}  // namespace
}  // namespace marlin::evidence
