// marlin verify: an evidence folder made by hand checks as intact, and each
// change to it (a byte, a file gone or added, blocks that do not cover the
// range, a manifest edited after it was signed) is named, with the verdict
// and the exit status scripts go by.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/calendar.h"
#include "base/codec_ids.h"
#include "cli/run_marlin.h"
#include "evidence/ed25519.h"
#include "evidence/json_reader.h"
#include "evidence/json_writer.h"
#include "evidence/key_files.h"
#include "evidence/sha256.h"
#include "evidence/sha256sums.h"
#include "source/block_header.h"
#include "source/container.h"

namespace marlin::testing {
namespace {

namespace fs = std::filesystem;
using evidence::JsonValue;

std::vector<std::uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

// The tool runs with TZ=UTC0, so its local times are UTC.
std::string utcText(std::uint32_t blockTime) { return formatCalendarTime(calendarFromTimestamp(blockTime, 0)); }

// An evidence folder as the export lays it out, its manifest and SHA256SUMS
// written over what the folder holds when sealed.
class EvidenceFolder {
 public:
  explicit EvidenceFolder(std::string path) : path_(std::move(path)) { fs::create_directory(path_); }

  std::string file(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

  void seal(const std::string& startTime, const std::string& endTime) const {
    JsonValue root = JsonValue::object();
    JsonValue& tool = root.add("tool", JsonValue::object());
    tool.add("name", JsonValue::string("marlin"));
    root.add("recording", JsonValue::object()).add("variant", JsonValue::wholeNumber(kVariantQkt2));
    JsonValue& exported = root.add("range", JsonValue::object()).add("exported", JsonValue::object());
    exported.add("start_time", JsonValue::string(startTime));
    exported.add("end_time", JsonValue::string(endTime));
    root.add("clock", JsonValue::string("The recorder's clock, as it was set."));
    JsonValue& files = root.add("files", JsonValue::array());
    std::vector<evidence::Sha256SumsEntry> sums;
    for (const std::string name : {"original.QKV", "CH1.mp4"}) {
      const std::vector<std::uint8_t> bytes = readFile(file(name));
      JsonValue& entry = files.push(JsonValue::object());
      entry.add("name", JsonValue::string(name));
      entry.add("size", JsonValue::wholeNumber(bytes.size()));
      entry.add("sha256", JsonValue::string(evidence::hexText(evidence::sha256Of(bytes))));
      sums.push_back({entry.find("sha256")->text(), name});
    }
    const std::string manifest = evidence::writeJson(root);
    writeFile(file("manifest.json"), bytesOf(manifest));
    sums.push_back({evidence::hexText(evidence::sha256Of(manifest)), "manifest.json"});
    std::string listing;
    ASSERT_TRUE(evidence::writeSha256Sums(sums, listing).isOk());
    writeFile(file("SHA256SUMS"), bytesOf(listing));
  }

 private:
  std::string path_;
};

// Runs the command and restores the file it was run against.
class Changed {
 public:
  explicit Changed(std::string path) : path_(std::move(path)), kept_(readFile(path_)) {}
  ~Changed() { writeFile(path_, kept_); }
  Changed(const Changed&) = delete;
  Changed& operator=(const Changed&) = delete;

  std::vector<std::uint8_t> bytes() const { return kept_; }

 private:
  std::string path_;
  std::vector<std::uint8_t> kept_;
};

// A failed check: the findings and the verdict on stdout, the one line that
// says so on stderr.
void expectNotIntact(const Result& r, const std::string& finding, std::size_t problems) {
  EXPECT_EQ(r.status, 1) << r;
  EXPECT_NE(r.out.find(finding), std::string::npos) << "should say " << finding << "\n" << r;
  const std::string verdict =
      "verdict: NOT intact: " + std::to_string(problems) + (problems == 1 ? " problem\n" : " problems\n");
  EXPECT_TRUE(r.out.ends_with(verdict)) << r;
  EXPECT_TRUE(r.err.ends_with("is not intact\n")) << r;
}

TEST(VerifyCli, AnIntactFolderPassesAndEveryChangeToItIsNamed) {
  TempDir dir;
  // The tool's own output files go beside the folder, not into it.
  const EvidenceFolder folder(dir.file("evidence"));
  const Result cut = runMarlin(dir, {"cut", MARLIN_SAMPLE_RECORDING, "8192", "204799", folder.file("original.QKV")});
  ASSERT_EQ(cut.status, 0) << cut;
  const std::vector<std::uint8_t> original = readFile(folder.file("original.QKV"));
  ASSERT_GE(original.size(), 2 * container::kBlockSize);
  ASSERT_EQ(original.size() % container::kBlockSize, 0u);
  const std::size_t blocks = original.size() / container::kBlockSize;
  const std::string first = utcText(parseBlockHeader(original.data(), false).time);
  const std::string last =
      utcText(parseBlockHeader(original.data() + original.size() - container::kBlockSize, false).time);
  ASSERT_NE(first, last);
  std::vector<std::uint8_t> working(10000);
  for (std::size_t i = 0; i < working.size(); ++i) {
    working[i] = static_cast<std::uint8_t>(i * 7);
  }
  writeFile(folder.file("CH1.mp4"), working);
  folder.seal(first, last);

  const std::string blocksDetail =
      std::to_string(blocks) + " blocks, check bytes hold, " + first + " .. " + last + " cover the range";
  const std::string blocksLine = "original.QKV blocks: " + blocksDetail + "\n";
  const Result intact = runMarlin(dir, {"verify", folder.path()});
  EXPECT_EQ(intact.status, 0) << intact;
  EXPECT_EQ(intact.out, "OK original.QKV\nOK CH1.mp4\nOK manifest.json\n" + blocksLine + "verdict: intact\n");
  EXPECT_EQ(intact.err, "");

  const Result json = runMarlin(dir, {"verify", folder.path(), "--json"});
  EXPECT_EQ(json.status, 0) << json;
  std::vector<std::string> lines;
  for (std::size_t at = 0, end = 0; (end = json.out.find('\n', at)) != std::string::npos; at = end + 1) {
    lines.push_back(json.out.substr(at, end - at));
    JsonValue parsed;
    EXPECT_TRUE(evidence::readJson(lines.back(), parsed).isOk()) << lines.back();
  }
  ASSERT_EQ(lines.size(), 5u) << json;
  EXPECT_EQ(lines[1], R"({"event":"verify","file":"CH1.mp4","result":"OK","check":"contents"})");
  EXPECT_EQ(lines[3], R"({"event":"verify","file":"original.QKV","result":"OK","check":"blocks","detail":")" +
                          blocksDetail + "\"}");
  EXPECT_EQ(lines[4], R"({"event":"verdict","intact":true,"problems":0})");

  {
    const Changed changed(folder.file("CH1.mp4"));
    std::vector<std::uint8_t> bytes = changed.bytes();
    bytes[5000] ^= 0x01;
    writeFile(folder.file("CH1.mp4"), bytes);
    const Result r = runMarlin(dir, {"verify", folder.path()});
    expectNotIntact(r, "CHANGED CH1.mp4: SHA-256 differs from the manifest's; SHA-256 differs from SHA256SUMS's\n", 1);
    const Result jsonLines = runMarlin(dir, {"verify", folder.path(), "--json"});
    EXPECT_EQ(jsonLines.status, 1) << jsonLines;
    EXPECT_NE(jsonLines.out.find(R"({"event":"verify","file":"CH1.mp4","result":"CHANGED","check":"contents")"),
              std::string::npos)
        << jsonLines;
    EXPECT_TRUE(jsonLines.out.ends_with("{\"event\":\"verdict\",\"intact\":false,\"problems\":1}\n")) << jsonLines;
  }
  {
    const Changed changed(folder.file("original.QKV"));
    std::vector<std::uint8_t> bytes = changed.bytes();
    bytes[2 * container::kBlockSize + 7] ^= 0x01;
    writeFile(folder.file("original.QKV"), bytes);
    const Result r = runMarlin(dir, {"verify", folder.path()});
    expectNotIntact(r, "BAD original.QKV blocks: block 2 (at byte 8192) fails its check byte\n", 2);
    EXPECT_NE(r.out.find("CHANGED original.QKV"), std::string::npos) << r;
  }
  {
    const Changed removed(folder.file("CH1.mp4"));
    fs::remove(folder.file("CH1.mp4"));
    expectNotIntact(runMarlin(dir, {"verify", folder.path()}), "MISSING CH1.mp4\n", 1);
  }
  writeFile(folder.file("notes.txt"), bytesOf("added later"));
  fs::create_directory(folder.file("extra"));
  expectNotIntact(runMarlin(dir, {"verify", folder.path()}), "ADDED extra\nADDED notes.txt\n", 2);
  fs::remove(folder.file("notes.txt"));
  fs::remove(folder.file("extra"));
  {
    const Changed removed(folder.file("SHA256SUMS"));
    fs::remove(folder.file("SHA256SUMS"));
    expectNotIntact(runMarlin(dir, {"verify", folder.path()}), "MISSING SHA256SUMS\n", 1);
  }

  // A range that ends a second after the last block is not covered.
  folder.seal(first,
              utcText(parseBlockHeader(original.data() + original.size() - container::kBlockSize, false).time + 1));
  expectNotIntact(runMarlin(dir, {"verify", folder.path()}),
                  "check bytes hold, " + first + " .. " + last + " do not cover the exported range ", 1);
  folder.seal(first, last);

  const std::string key = dir.file("signer.pem");
  writePrivateKey(key, KeyType::Ed25519);
  const std::vector<std::uint8_t> manifest = readFile(folder.file("manifest.json"));
  evidence::Ed25519Signature signature;
  ASSERT_TRUE(evidence::signEd25519(key, manifest, signature).isOk());
  writeFile(folder.file("manifest.sig"), signature.signature);
  writeFile(folder.file("public_key.pem"), bytesOf(signature.publicKeyPem));
  std::string fingerprint;
  ASSERT_TRUE(evidence::publicKeyFingerprint(signature.publicKeyPem, fingerprint).isOk());
  const Result signedFolder = runMarlin(dir, {"verify", folder.path()});
  EXPECT_EQ(signedFolder.status, 0) << signedFolder;
  EXPECT_NE(signedFolder.out.find("OK manifest.sig (Ed25519, signed by key " + fingerprint + ")\n"), std::string::npos)
      << signedFolder;
  {
    const Changed removed(folder.file("public_key.pem"));
    fs::remove(folder.file("public_key.pem"));
    expectNotIntact(runMarlin(dir, {"verify", folder.path()}),
                    "MISSING public_key.pem: the key to check manifest.sig with is not there\n", 1);
  }
  {
    const Changed tampered(folder.file("manifest.json"));
    std::string text(manifest.begin(), manifest.end());
    text.replace(text.find("as it was set"), 13, "as it was not");
    writeFile(folder.file("manifest.json"), bytesOf(text));
    const Result r = runMarlin(dir, {"verify", folder.path()});
    expectNotIntact(r, "BAD manifest.sig: the signature does not match the key and the signed bytes\n", 2);
    EXPECT_NE(r.out.find("CHANGED manifest.json: SHA-256 differs from SHA256SUMS's\n"), std::string::npos) << r;
  }

  fs::remove(folder.file("manifest.json"));
  const Result noManifest = runMarlin(dir, {"verify", folder.path()});
  EXPECT_EQ(noManifest.status, 1) << noManifest;
  EXPECT_EQ(noManifest.out, "MISSING manifest.json\nverdict: NOT intact: 1 problem\n");
  writeFile(folder.file("manifest.json"), bytesOf("{\"files\": "));
  expectNotIntact(runMarlin(dir, {"verify", folder.path()}),
                  "BAD manifest.json: JSON at byte 10: the text ends where a value belongs\n", 1);

  expectOneLineFailure(runMarlin(dir, {"verify", dir.file("nowhere")}), "cannot list the folder");
  EXPECT_EQ(runMarlin(dir, {"verify"}).status, 2);
}

}  // namespace
}  // namespace marlin::testing
