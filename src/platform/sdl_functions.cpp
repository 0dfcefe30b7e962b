#include "platform/sdl_functions.h"

#include "platform/shared_library.h"

namespace marlin {

Status lookUpSdl(SdlFunctions& functions) {
  SharedLibrary library("libSDL2-2.0.so.0");
#define MARLIN_SDL_FIND(name) \
  if (!library.find(#name, functions.name)) return Status::failure(StatusCode::Unsupported, library.error());
  MARLIN_SDL_FUNCTIONS(MARLIN_SDL_FIND)
#undef MARLIN_SDL_FIND
  return Status::ok();
}

}  // namespace marlin
