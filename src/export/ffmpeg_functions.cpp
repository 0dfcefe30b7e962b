#include "export/ffmpeg_functions.h"

#include "platform/shared_library.h"

namespace marlin {

namespace {

Status missing(const SharedLibrary& library) {
  return Status::failure(StatusCode::Unsupported, "FFmpeg cannot be loaded: " + library.error());
}

}  // namespace

Status lookUpFfmpeg(FfmpegFunctions& functions) {
  SharedLibrary avutil("libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR));
  SharedLibrary avcodec("libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR));
  SharedLibrary avformat("libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR));
  SharedLibrary swscale("libswscale.so." AV_STRINGIFY(LIBSWSCALE_VERSION_MAJOR));
#define MARLIN_FFMPEG_FIND(library, name) \
  if (!library.find(#name, functions.name)) return missing(library);
  MARLIN_FFMPEG_FUNCTIONS(MARLIN_FFMPEG_FIND)
#undef MARLIN_FFMPEG_FIND
  return Status::ok();
}

}  // namespace marlin
