// Writes the starting corpus of decoder_fuzz: encoded sample pictures of
// every header layout, refresh and conditional, each preceded by the two
// bytes the target reads first (codec variant, fill of the picture buffer).
//
//   decoder_fuzz_seeds OUTPUT_DIR

#include <iostream>
#include <string>
#include <vector>

#include "codec/encoder/video_encoder.h"
#include "engine/sample/sample_picture.h"
#include "seed_file.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: decoder_fuzz_seeds OUTPUT_DIR\n";
    return 2;
  }
  const std::string dir = argv[1];
  int written = 0;
  for (const int variant : {0, 2, 4, 5}) {
    for (const int height : {224, 272}) {
      marlin::encoder::VideoEncoder encoder;
      marlin::YuvPicture picture;
      picture.resize(640, height);
      marlin::encoder::EncodeParams params;
      params.variant = variant;
      params.quality = 14;
      params.channel = 1;
      params.dual = variant == 5;
      params.secondChannel = 2;
      for (int step = 0; step < 2; ++step) {
        marlin::sample::drawSamplePicture(picture, 1, step * 0.5);
        params.refresh = step == 0;
        std::vector<std::uint8_t> seed = {static_cast<std::uint8_t>(variant), 0x80};
        const auto frame = encoder.encode(picture, params);
        seed.insert(seed.end(), frame.begin(), frame.end());
        const std::string name =
            "v" + std::to_string(variant) + "-h" + std::to_string(height) + (step == 0 ? "-refresh" : "-conditional");
        if (!writeSeed(dir, name, seed)) {
          return 1;
        }
        ++written;
      }
    }
  }
  std::cout << written << " seeds in " << dir << "\n";
  return 0;
}
