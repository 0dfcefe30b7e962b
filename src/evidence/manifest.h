#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/calendar.h"
#include "base/codec_ids.h"
#include "base/status.h"

namespace marlin::evidence {

struct ManifestFile {
  std::string name;
  std::uint64_t size = 0;
  std::string sha256;  // 64 lowercase hex digits
};

// What a check of the folder needs of manifest.json; the rest of it is for
// people to read.
struct Manifest {
  CodecVariant variant = 0;  // recording.variant
  // range.exported: the recorder's local clock, as the block times show it.
  CalendarTime exportedStart{};
  CalendarTime exportedEnd{};
  std::vector<ManifestFile> files;  // original.QKV among them
};

// Reads manifest.json's text. Text that is no JSON, a field missing or of the
// wrong type, a file name that leaves the folder or comes twice, and a list
// without original.QKV are BadData naming the field ("files[2].sha256 is
// missing"); the caller names the file.
Status readManifest(std::string_view text, Manifest& manifest);

}  // namespace marlin::evidence
