#include "recognition/recognition.h"

#include <algorithm>

#include "base/log.h"
#include "platform/block_file.h"
#include "platform/large_buffer.h"
#include "platform/memory_file.h"
#include "recognition/picture_evidence.h"
#include "source/container.h"

namespace marlin {

namespace {

// The recording's first whole blocks, up to kRecognitionBytes, in one read;
// empty when it cannot be read.
LargeBuffer readLeadingBlocks(const std::string& path) {
  BlockFile file;
  std::uint64_t size = 0;
  if (!file.open(path) || !file.querySize(size)) {
    return {};
  }
  const std::uint64_t wanted = container::blockStartOf(std::min(size, kRecognitionBytes));
  LargeBuffer leading(wanted);
  std::size_t got = 0;
  if (leading.empty() || !file.readAt(0, leading.data(), leading.size(), got)) {
    return {};
  }
  leading.shrink(container::blockStartOf(got));
  return leading;
}

// The variants whose pictures have the layout and whose block headers the
// order, the usual variant first when it is one of them.
std::vector<CodecVariant> variantsReadingAs(codec::HeaderLayout layout, HeaderByteOrder order, CodecVariant usual) {
  std::vector<CodecVariant> variants;
  for (CodecVariant variant = 0; variant < kVariantCount; ++variant) {
    if (codec::headerLayoutOf(variant) == layout && isBigEndianVariant(variant) == (order == HeaderByteOrder::Big)) {
      variants.push_back(variant);
    }
  }
  const auto found = std::find(variants.begin(), variants.end(), usual);
  if (found != variants.end()) {
    std::rotate(variants.begin(), found, found + 1);
  }
  return variants;
}

void recogniseVariant(std::span<const std::uint8_t> leading, const BlockEvidence& blocks, Recognition& recognition) {
  // The pictures are read from the blocks already in memory: nothing past
  // them is read, and a disk is not read twice.
  MemoryFile copy;
  if (!copy.hold(leading)) {
    return;
  }
  HeaderByteOrder order = blocks.headerOrder;
  std::optional<codec::HeaderLayout> layout = recognisePictureLayout(copy.path(), blocks.byteOrder, order);
  // Block times that tell nothing (all of one second) leave it to the
  // cameras of the channel masks, which only the right order names.
  if (!layout && !blocks.headerOrderShown) {
    order = HeaderByteOrder::Big;
    layout = recognisePictureLayout(copy.path(), blocks.byteOrder, order);
  }
  if (!layout) {
    return;
  }
  std::vector<CodecVariant> variants = variantsReadingAs(*layout, order, recognition.reading.variant);
  // Only one recorder writes big-endian headers, and only with one layout:
  // pictures of another layout outweigh the block times.
  if (variants.empty()) {
    variants = variantsReadingAs(*layout, HeaderByteOrder::Little, recognition.reading.variant);
  }
  recognition.reading.variant = variants.front();
  recognition.variant = Finding::Recognised;
  recognition.readingAlike.assign(variants.begin() + 1, variants.end());
}

std::string findingSuffix(Finding finding) {
  switch (finding) {
    case Finding::Forced:
      return " (as asked)";
    case Finding::Usual:
      return " (not recognised, assumed)";
    case Finding::Recognised:
      break;
  }
  return "";
}

}  // namespace

Recognition recogniseRecording(const std::string& path, const ForcedReading& forced, RecordingReading usual) {
  Recognition recognition;
  recognition.reading = usual;
  if (forced.byteOrder) {
    recognition.reading.byteOrder = *forced.byteOrder;
    recognition.byteOrder = Finding::Forced;
  }
  if (forced.variant) {
    recognition.reading.variant = *forced.variant;
    recognition.variant = Finding::Forced;
  }
  if (forced.byteOrder && forced.variant) {
    return recognition;
  }
  const LargeBuffer leading = readLeadingBlocks(path);
  const BlockEvidence blocks = weighBlocks(leading.bytes(), forced.byteOrder);
  if (!forced.byteOrder && blocks.byteOrderShown) {
    recognition.reading.byteOrder = blocks.byteOrder;
    recognition.byteOrder = Finding::Recognised;
  }
  if (!forced.variant && !leading.empty()) {
    recogniseVariant(leading.bytes(), blocks, recognition);
  }
  logInfo("recognised " + path + ": " + describeRecognition(recognition));
  return recognition;
}

Status checkPlayable(const std::string& path, BlockByteOrder order) {
  BlockFile file;
  if (const Status opened = file.open(path); !opened) {
    return opened;
  }
  const LargeBuffer leading = readLeadingBlocks(path);
  if (validBlocks(leading.bytes(), order) == 0) {
    return Status::failure(StatusCode::BadData, "not a recording: no valid block in the first " +
                                                    std::to_string(kRecognitionBytes >> 20) + " MB");
  }
  return Status::ok();
}

std::string describeRecognition(const Recognition& recognition) {
  const RecordingReading& reading = recognition.reading;
  std::string text = reading.isDisk() ? "disk byte order (16-bit words swapped)" : "file byte order";
  text += findingSuffix(recognition.byteOrder);
  text += ", codec variant " + std::to_string(reading.variant) + " " +
          std::string(kVideoCodecNames[static_cast<std::size_t>(reading.variant)]);
  text += findingSuffix(recognition.variant);
  if (!recognition.readingAlike.empty()) {
    std::string alike;
    for (const CodecVariant variant : recognition.readingAlike) {
      alike += (alike.empty() ? "" : ", ") + std::to_string(variant);
    }
    text += " (" + alike + " read the same pictures and blocks)";
  }
  return text;
}

}  // namespace marlin
