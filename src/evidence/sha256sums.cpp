#include "evidence/sha256sums.h"

#include <algorithm>
#include <unordered_set>

#include "evidence/sha256.h"

namespace marlin::evidence {

namespace {

constexpr std::size_t kDigestDigits = 64;

bool needsEscaping(std::string_view name) { return name.find_first_of("\\\n\r") != std::string_view::npos; }

Status lineFailure(std::size_t line, const std::string& why) {
  return Status::failure(StatusCode::BadData, "SHA256SUMS line " + std::to_string(line) + ": " + why);
}

// The digest written lowercase, if text is 64 hex digits of either case.
bool readDigest(std::string_view text, std::string& digest) {
  digest.assign(text);
  std::transform(digest.begin(), digest.end(), digest.begin(),
                 [](char c) { return c >= 'A' && c <= 'F' ? static_cast<char>(c - 'A' + 'a') : c; });
  return isSha256Hex(digest);
}

}  // namespace

Status writeSha256Sums(const std::vector<Sha256SumsEntry>& entries, std::string& text) {
  text.clear();
  for (const Sha256SumsEntry& entry : entries) {
    if (!isSha256Hex(entry.sha256)) {
      return Status::failure(StatusCode::InvalidArgument, "the digest of " + entry.name + " is not 64 hex digits");
    }
    if (entry.name.empty() || needsEscaping(entry.name)) {
      return Status::failure(StatusCode::InvalidArgument,
                             "\"" + entry.name +
                                 "\" cannot be listed: a name needs a character and no backslash "
                                 "or line break");
    }
    text += entry.sha256 + "  " + entry.name + "\n";
  }
  return Status::ok();
}

Status parseSha256Sums(std::string_view text, std::vector<Sha256SumsEntry>& entries) {
  entries.clear();
  std::unordered_set<std::string> names;
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.starts_with('\\')) {
      return lineFailure(lineNumber, "an escaped name, which is not read here");
    }
    Sha256SumsEntry entry;
    if (line.size() < kDigestDigits + 3 || !readDigest(line.substr(0, kDigestDigits), entry.sha256) ||
        line[kDigestDigits] != ' ' || (line[kDigestDigits + 1] != ' ' && line[kDigestDigits + 1] != '*')) {
      return lineFailure(lineNumber, "expected 64 hex digits, a space, a space or '*', and a name");
    }
    entry.name = line.substr(kDigestDigits + 2);
    if (entry.name.find('\r') != std::string::npos) {
      return lineFailure(lineNumber, "a carriage return (the file was written with DOS line ends)");
    }
    if (!names.insert(entry.name).second) {
      return lineFailure(lineNumber, entry.name + " is listed twice");
    }
    entries.push_back(std::move(entry));
  }
  return Status::ok();
}

}  // namespace marlin::evidence
