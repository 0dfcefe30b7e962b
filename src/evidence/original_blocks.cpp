#include "evidence/original_blocks.h"

#include <array>

#include "platform/block_file.h"
#include "source/block_reading.h"
#include "source/container.h"

namespace marlin::evidence {

Status surveyOriginalBlocks(const std::string& path, CodecVariant variant, OriginalBlocks& out) {
  out = OriginalBlocks{};
  BlockFile file;
  if (Status opened = file.open(path); !opened) {
    return opened;
  }
  std::uint64_t size = 0;
  if (const Status sized = file.querySize(size); !sized) {
    return Status::failure(sized.code(), "cannot read " + path + ": " + sized.message(), sized.systemError());
  }
  if (size == 0 || size % container::kBlockSize != 0) {
    return Status::failure(StatusCode::BadData, path + " is " + std::to_string(size) + " bytes, not whole blocks of " +
                                                    std::to_string(container::kBlockSize));
  }
  const BlockLayout layout{false, isBigEndianVariant(variant)};
  std::array<std::uint8_t, container::kBlockSize> block{};
  for (std::uint64_t offset = 0; offset < size; offset += container::kBlockSize) {
    BlockHeader header;
    switch (readBlock(file, offset, layout, block.data(), header)) {
      case BlockRead::Valid:
        break;
      case BlockRead::Bad:
        return Status::failure(StatusCode::BadData, "block " + std::to_string(out.blocks) + " (at byte " +
                                                        std::to_string(offset) + ") fails its check byte");
      case BlockRead::Short:
        return Status::failure(StatusCode::IoError, "cannot read block " + std::to_string(out.blocks) + " (at byte " +
                                                        std::to_string(offset) + ") of " + path);
    }
    out.firstTime = out.blocks == 0 ? header.time : out.firstTime;
    out.lastTime = header.time;
    ++out.blocks;
  }
  return Status::ok();
}

}  // namespace marlin::evidence
