#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace marlin::cli::serve_dvr {

// What can go wrong with a DVR or its network, on request, for testing
// clients against it.
enum class Fault {
  Drop,             // close the connection
  Stall,            // keep the connection but send nothing more
  Garbage,          // 64 KiB of random bytes, with a few stray start codes
  Split,            // every write in pieces of 1 to 7 bytes, from the start
  OversizeMessage,  // a control message longer than a client's buffer
  HugeFrame,        // a video frame longer than a client's frame buffer
  MessageInFrame,   // from then on, a status message inside every picture
  CloseAfterLogin,  // close on reading the login, without a reply
  DdnsBadMagic,     // a lookup reply without the magic
  DdnsSilent,       // no lookup reply
};

struct FaultSwitch {
  Fault fault = Fault::Drop;
  // Streaming faults: how long after the login was accepted.
  std::chrono::milliseconds after{1000};
};

// "NAME" or "NAME@SECONDS"; nullopt, with the reason, for anything else.
std::optional<FaultSwitch> parseFaultSwitch(const std::string& text, std::string& error);
const char* faultName(Fault fault);

// The faults asked for. Each happens once in the simulator's life, so a
// client that reconnects after one finds a working DVR again. Shared by the
// DVR and lookup threads.
class FaultPlan {
 public:
  explicit FaultPlan(const std::vector<FaultSwitch>& switches);

  // Whether the fault was asked for at all (Split holds from the start).
  bool asked(Fault fault) const;
  // True the first time for a fault asked for, false ever after.
  bool take(Fault fault);
  // Whether the fault has happened (MessageInFrame holds from then on).
  bool happened(Fault fault) const;

  // The streaming faults due after streamed time of a connection, each taken.
  std::vector<Fault> takeDue(std::chrono::milliseconds streamed);
  // When, in streamed time, the next streaming fault is due.
  std::optional<std::chrono::milliseconds> nextDue() const;

 private:
  struct Entry {
    FaultSwitch request;
    bool happened = false;
  };
  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
};

}  // namespace marlin::cli::serve_dvr
