// Writes a synthetic recording: channels in turn with noise pictures and a
// tone, for demonstrations, benchmarks and tests.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <iostream>

#include "synth/synthetic_recording.h"

int main(int argc, char** argv) {
  CLI::App app{"Write a synthetic .QKV recording"};
  std::string output;
  marlin::synth::SampleOptions options;
  bool diskOrder = false;
  app.add_option("output", output, "recording to write")->required();
  app.add_option("--channels", options.channels, "camera channels (1-16)")->check(CLI::Range(1, 16));
  app.add_option("--seconds", options.seconds, "length in seconds")->check(CLI::Range(1, 1000000));
  app.add_option("--fps", options.framesPerSecond, "frames per second per channel")->check(CLI::Range(1, 30));
  app.add_option("--seed", options.seed, "noise seed");
  app.add_flag("!--no-audio", options.audio, "leave out the audio frames");
  app.add_flag("--big-endian", options.bigEndian, "big-endian block headers (codec variant 6)");
  app.add_flag("--disk-order", diskOrder, "byte-swapped 16-bit words, as on a DVR disk");
  CLI11_PARSE(app, argc, argv);

  marlin::synth::Bytes recording = marlin::synth::makeSampleRecording(options);
  if (diskOrder) {
    marlin::synth::toDiskByteOrder(recording);
  }
  std::ofstream out(output, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(recording.data()), static_cast<std::streamsize>(recording.size()));
  out.close();
  if (!out) {
    std::cerr << "marlin-synth: cannot write " << output << "\n";
    return 1;
  }
  return 0;
}
