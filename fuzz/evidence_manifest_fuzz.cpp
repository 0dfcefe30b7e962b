// Text of any kind as an evidence folder's manifest.json or SHA256SUMS: the
// readers never read outside it or run out of stack, and what they take
// survives being written and read again as the same value.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "evidence/json_reader.h"
#include "evidence/json_writer.h"
#include "evidence/manifest.h"
#include "evidence/sha256sums.h"

namespace {

using namespace marlin::evidence;

void jsonRoundTrip(std::string_view text) {
  JsonValue value;
  if (!readJson(text, value).isOk()) {
    return;
  }
  const std::string written = writeJson(value);
  JsonValue again;
  // NaN never compares equal, and the reader gives none, so every value read
  // must come back the same and write the same bytes.
  if (!readJson(written, again).isOk() || !(again == value) || writeJson(again) != written) {
    std::abort();
  }
}

void sumsRoundTrip(std::string_view text) {
  std::vector<Sha256SumsEntry> entries;
  if (!parseSha256Sums(text, entries).isOk()) {
    return;
  }
  std::string written;
  std::vector<Sha256SumsEntry> again;
  // Names the parser takes may still need escaping (a carriage return alone
  // is refused, a backslash inside a name is not), which the writer refuses.
  if (writeSha256Sums(entries, written).isOk() && (!parseSha256Sums(written, again).isOk() || again != entries)) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  jsonRoundTrip(text);
  Manifest manifest;
  static_cast<void>(readManifest(text, manifest));
  sumsRoundTrip(text);
  return 0;
}
