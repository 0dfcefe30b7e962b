#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"

namespace marlin::evidence {

struct Sha256SumsEntry {
  std::string sha256;  // 64 lowercase hex digits
  std::string name;

  friend bool operator==(const Sha256SumsEntry&, const Sha256SumsEntry&) = default;
};

// The listing "sha256sum -c" checks: "<digest>  <name>" a line. Names that
// sha256sum would have to escape (a backslash or a line break in them) are
// refused, and so are digests that are not 64 lowercase hex digits.
Status writeSha256Sums(const std::vector<Sha256SumsEntry>& entries, std::string& text);

// Reads such a listing, also with sha256sum's binary marker ("<digest> *<name>")
// and uppercase digits, which it writes lowercase; a line of any other form, an
// escaped name or a name listed twice is refused with its line number.
Status parseSha256Sums(std::string_view text, std::vector<Sha256SumsEntry>& entries);

}  // namespace marlin::evidence
