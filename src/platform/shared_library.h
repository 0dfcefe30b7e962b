#pragma once

#include <string>

namespace marlin {

// A shared library opened while the program runs rather than at its start,
// for libraries that bring many more with them and that most runs never
// call. The library stays mapped after the object goes: threads and exit
// handlers it started may still run then.
class SharedLibrary {
 public:
  // Opens the library by soname, searched for as the dynamic loader would;
  // one the process holds already is shared, not loaded twice. Its symbols
  // are bound at once, so that a dependency that lacks one fails here rather
  // than killing the process at the first call.
  explicit SharedLibrary(const std::string& soname);
  ~SharedLibrary();
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  bool isOpen() const { return handle_ != nullptr; }

  // The address of the named symbol; null when the library is not open or
  // lacks it, error() then saying why.
  void* symbol(const char* name);
  // Points function at the named function, typed as its declaration; false
  // as symbol() is null.
  template <typename Function>
  bool find(const char* name, Function*& function) {
    function = reinterpret_cast<Function*>(symbol(name));
    return function != nullptr;
  }

  // The dynamic loader's text for the last failure, naming the library or
  // the symbol; empty before any.
  const std::string& error() const { return error_; }

 private:
  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace marlin
