#pragma once

#include <cstdint>
#include <string>

#include "base/codec_ids.h"
#include "base/status.h"

namespace marlin::evidence {

// The blocks of an evidence folder's copy of a recording and the block times
// at its two ends.
struct OriginalBlocks {
  std::uint64_t blocks = 0;
  std::uint32_t firstTime = 0;
  std::uint32_t lastTime = 0;
};

// Reads every block of the copy at path with variant's header byte order.
// The copy is in file byte order even when the recording was a disk, since
// the blocks were copied as a file reader sees them. An empty file, one that
// is not whole blocks and a block whose check byte does not hold are BadData
// naming the block and where it begins.
Status surveyOriginalBlocks(const std::string& path, CodecVariant variant, OriginalBlocks& out);

}  // namespace marlin::evidence
