// Writes the starting corpus of recognition_fuzz: the beginning of short
// sample recordings of every codec variant, in file and in disk byte order,
// each preceded by the two bytes the target reads first (nothing forced).
//
//   recognition_fuzz_seeds OUTPUT_DIR

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "engine/sample/sample_recording.h"
#include "seed_file.h"
#include "source/byte_order.h"
#include "source/container.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: recognition_fuzz_seeds OUTPUT_DIR\n";
    return 2;
  }
  const std::string dir = argv[1];
  // The fuzz runs cap inputs at 64 KiB; whole blocks only, so that every one
  // can be swapped.
  constexpr std::size_t kMaxRecording = (65536 - 2) / marlin::container::kBlockSize * marlin::container::kBlockSize;
  for (int variant = 0; variant < marlin::kVariantCount; ++variant) {
    marlin::sample::SampleOptions options;
    options.channels = 2;
    options.seconds = 1;
    options.audio = true;
    options.conditional = true;
    options.variant = variant;
    options.quality = 12;
    std::vector<std::uint8_t> recording = marlin::sample::makeSampleRecording(options);
    recording.resize(std::min(recording.size(), kMaxRecording));
    for (const bool disk : {false, true}) {
      if (disk) {
        marlin::swapBytePairs(recording.data(), recording.size());
      }
      std::vector<std::uint8_t> seed = {0, 0};
      seed.insert(seed.end(), recording.begin(), recording.end());
      if (!writeSeed(dir, "variant" + std::to_string(variant) + (disk ? "-disk" : "-file"), seed)) {
        return 1;
      }
    }
  }
  return 0;
}
