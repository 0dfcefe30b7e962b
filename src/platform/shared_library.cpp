#include "platform/shared_library.h"

#include <dlfcn.h>

namespace marlin {

namespace {

std::string loaderError(const std::string& fallback) {
  const char* text = dlerror();
  return text != nullptr ? text : fallback;
}

}  // namespace

SharedLibrary::SharedLibrary(const std::string& soname)
    : handle_(dlopen(soname.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE)) {
  if (handle_ == nullptr) error_ = loaderError(soname + ": cannot be opened");
}

SharedLibrary::~SharedLibrary() {
  if (handle_ != nullptr) dlclose(handle_);
}

void* SharedLibrary::symbol(const char* name) {
  if (handle_ == nullptr) return nullptr;
  dlerror();
  void* address = dlsym(handle_, name);
  if (address == nullptr) error_ = loaderError(std::string(name) + ": not found");
  return address;
}

}  // namespace marlin
