#pragma once

#include <cstdio>
#include <cstdlib>

#include "base/status.h"

namespace marlin {

// A table of functions looked up in shared libraries once, on first use from
// any thread. fill opens the libraries (SharedLibrary) and points every
// function at its symbol, or says what is missing; the libraries stay mapped
// after it returns.
template <typename Functions, Status (*fill)(Functions&)>
class FunctionTable {
 public:
  static Status load() { return loaded().status; }

  // Only once load() has succeeded. A call that skipped that check ends the
  // process here, with the reason on standard error whatever the log level,
  // rather than through a null function later and further away.
  static const Functions& functions() {
    const Loaded& table = loaded();
    if (!table.status) {
      std::fprintf(stderr, "a library called without being loaded: %s\n", table.status.message().c_str());
      std::abort();
    }
    return table.functions;
  }

 private:
  struct Loaded {
    Functions functions;
    Status status = fill(functions);
  };

  static const Loaded& loaded() {
    static const Loaded table;
    return table;
  }
};

}  // namespace marlin
