// Fuzz target for recognising how to read a recording: the block byte order,
// the order of the header fields and the picture layout, judged from bytes
// of any kind.
//
// Input layout:
//   [0] flags   bit 0: force disk byte order; bit 1: force file byte order
//               (wins over bit 0); bit 2: force the variant in [1]
//   [1] variant forced (modulo the variant count) and the usual variant
//       (its high nibble, modulo the variant count)
//   then the recording.
//
// Whatever the bytes, the reading must be one that can be opened, forced
// aspects must come back as forced, an aspect not recognised must be the
// usual one, and variants said to read alike must differ from the chosen one.

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/codec_ids.h"
#include "recognition/recognition.h"

namespace {

using marlin::BlockByteOrder;
using marlin::Finding;

enum Flag : std::uint8_t { kForceDisk = 1u << 0, kForceFile = 1u << 1, kForceVariant = 1u << 2 };

void check(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "recognition_fuzz: %s\n", what);
    std::fflush(stderr);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) {
    return 0;
  }
  const std::uint8_t flags = data[0];
  marlin::ForcedReading forced;
  if ((flags & kForceFile) != 0) {
    forced.byteOrder = BlockByteOrder::File;
  } else if ((flags & kForceDisk) != 0) {
    forced.byteOrder = BlockByteOrder::Disk;
  }
  if ((flags & kForceVariant) != 0) {
    forced.variant = (data[1] & 0x0F) % marlin::kVariantCount;
  }
  const marlin::RecordingReading usual{BlockByteOrder::File, (data[1] >> 4) % marlin::kVariantCount};

  const int fd = memfd_create("recording", 0);
  if (fd < 0 || write(fd, data + 2, size - 2) != static_cast<ssize_t>(size - 2)) {
    std::abort();
  }
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  const marlin::Recognition recognition = marlin::recogniseRecording(path, forced, usual);
  close(fd);

  const marlin::RecordingReading& reading = recognition.reading;
  check(reading.variant >= 0 && reading.variant < marlin::kVariantCount, "a variant out of range");
  if (forced.byteOrder) {
    check(recognition.byteOrder == Finding::Forced && reading.byteOrder == *forced.byteOrder, "byte order not kept");
  } else {
    check(recognition.byteOrder != Finding::Forced, "byte order said forced");
    check(recognition.byteOrder == Finding::Recognised || reading.byteOrder == usual.byteOrder,
          "byte order neither recognised nor usual");
  }
  if (forced.variant) {
    check(recognition.variant == Finding::Forced && reading.variant == *forced.variant, "variant not kept");
    check(recognition.readingAlike.empty(), "variants alike with a forced variant");
  } else {
    check(recognition.variant != Finding::Forced, "variant said forced");
    check(recognition.variant == Finding::Recognised || reading.variant == usual.variant,
          "variant neither recognised nor usual");
  }
  for (const marlin::CodecVariant alike : recognition.readingAlike) {
    check(alike >= 0 && alike < marlin::kVariantCount && alike != reading.variant, "a variant alike out of range");
  }
  check(!marlin::describeRecognition(recognition).empty(), "nothing said");
  return 0;
}
