#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace marlin::net {

// The remote keys on their way from any thread to the connection thread,
// which alone sends on the DVR's socket: a caller hands a key over and goes
// on, whatever the DVR does. Keys are taken only while a login lasts, and at
// most kCapacity wait.
class RemoteKeyQueue {
 public:
  // Room for a burst of quick typing or a held key's repeats while a send waits on the DVR.
  static constexpr std::size_t kCapacity = 64;

  // Takes keys from now on.
  void open();
  // Refuses keys from now on; the keys that were still waiting.
  std::vector<std::uint8_t> close();
  // False when closed or full.
  bool push(std::uint8_t value);
  // The keys waiting, oldest first; none wait after.
  std::vector<std::uint8_t> take();

 private:
  std::mutex lock_;
  bool open_ = false;
  std::vector<std::uint8_t> keys_;
};

}  // namespace marlin::net
