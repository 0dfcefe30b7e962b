#pragma once

#include <string_view>

namespace marlin::evidence {

// The files of an evidence folder besides the working copies.
inline constexpr std::string_view kOriginalName = "original.QKV";
inline constexpr std::string_view kManifestName = "manifest.json";
inline constexpr std::string_view kSumsName = "SHA256SUMS";
inline constexpr std::string_view kSignatureName = "manifest.sig";
inline constexpr std::string_view kPublicKeyName = "public_key.pem";

// A name of a file directly in the folder: a manifest or a listing naming
// anything else ("../x", "/etc/x", "sub/x") would send a check outside it.
constexpr bool isPlainFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

}  // namespace marlin::evidence
