// Kept activity index files of any content: the reader never reads outside
// the bytes, never allocates beyond what they could hold, and what it takes
// survives being written and read again. The checksum would turn away
// nearly every mutation, so each input is also tried with a fitting one.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "activity/index_file.h"

namespace {

using marlin::activity::decodeIndexFile;
using marlin::activity::encodeIndexFile;

void roundTrip(const std::vector<std::uint8_t>& bytes) {
  const auto stored = decodeIndexFile(bytes.data(), bytes.size());
  if (!stored) {
    return;
  }
  const std::vector<std::uint8_t> written = encodeIndexFile(*stored);
  const auto again = decodeIndexFile(written.data(), written.size());
  if (!again || again->identity != stored->identity || again->index != stored->index) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bytes(data, data + size);
  roundTrip(bytes);
  if (size >= 8) {
    // The last eight bytes replaced by the checksum of all before them.
    bytes.resize(size - 8);
    const std::uint64_t checksum = marlin::activity::hashBytes(bytes.data(), bytes.size());
    for (int i = 0; i < 8; ++i) {
      bytes.push_back(static_cast<std::uint8_t>(checksum >> (8 * i)));
    }
    roundTrip(bytes);
  }
  return 0;
}
