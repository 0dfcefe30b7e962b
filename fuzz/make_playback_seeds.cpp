// Writes the starting corpus of playback_fuzz: the beginning of short sample
// recordings with sound, of several codec variants, each preceded by the two
// bytes the target reads first (variant and disk flag; audio codec and view).
//
//   playback_fuzz_seeds OUTPUT_DIR

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "engine/sample/sample_recording.h"
#include "seed_file.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: playback_fuzz_seeds OUTPUT_DIR\n";
    return 2;
  }
  const std::string dir = argv[1];
  // The fuzz runs cap inputs at 64 KiB.
  constexpr std::size_t kMaxRecording = 65536 - 2;
  int written = 0;
  for (const int variant : {2, 4, 5}) {
    marlin::sample::SampleOptions options;
    options.channels = variant == 2 ? 1 : 4;
    options.seconds = 1;
    options.audio = true;
    options.conditional = true;
    options.variant = variant;
    options.quality = 12;
    const std::vector<std::uint8_t> recording = marlin::sample::makeSampleRecording(options);
    std::vector<std::uint8_t> seed = {static_cast<std::uint8_t>(variant), static_cast<std::uint8_t>(written)};
    seed.insert(seed.end(), recording.begin(),
                recording.begin() + static_cast<std::ptrdiff_t>(std::min(recording.size(), kMaxRecording)));
    if (!writeSeed(dir, "variant" + std::to_string(variant), seed)) {
      return 1;
    }
    ++written;
  }
  std::cout << written << " seeds in " << dir << "\n";
  return 0;
}
