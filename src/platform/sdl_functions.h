#pragma once

#include <SDL.h>

#include "base/status.h"
#include "platform/function_table.h"

namespace marlin {

// Every SDL function the sound device calls.
#define MARLIN_SDL_FUNCTIONS(X) \
  X(SDL_CloseAudioDevice)       \
  X(SDL_GetAudioDeviceStatus)   \
  X(SDL_GetCurrentAudioDriver)  \
  X(SDL_GetError)               \
  X(SDL_InitSubSystem)          \
  X(SDL_LockAudioDevice)        \
  X(SDL_OpenAudioDevice)        \
  X(SDL_PauseAudioDevice)       \
  X(SDL_QuitSubSystem)          \
  X(SDL_ResetHint)              \
  X(SDL_SetHintWithPriority)    \
  X(SDL_UnlockAudioDevice)

// The functions typed as SDL's headers declare them.
struct SdlFunctions {
#define MARLIN_SDL_POINTER(name) decltype(&::name) name = nullptr;
  MARLIN_SDL_FUNCTIONS(MARLIN_SDL_POINTER)
#undef MARLIN_SDL_POINTER
};

// Opens SDL and points every function at its symbol; a failure names what
// is missing.
Status lookUpSdl(SdlFunctions& functions);

// SDL is looked up on first use rather than linked: it brings the sound,
// display and input libraries of every system it supports, whose loading
// slowed every start, while only playing sound needs it. Sdl::load() looks it
// up the first time.
using Sdl = FunctionTable<SdlFunctions, lookUpSdl>;

// What the sound device calls SDL through; only once Sdl::load() has succeeded.
inline const SdlFunctions& sdl() { return Sdl::functions(); }

}  // namespace marlin
