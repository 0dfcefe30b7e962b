#include "app/cli/avi_capture_args.h"

#include <cstdio>
#include <iostream>
#include <map>

#include "app/cli/cli_support.h"
#include "export/container.h"

namespace marlin::cli {

const std::map<std::string, VideoCodec>& videoCodecNames() {
  static const std::map<std::string, VideoCodec> names{{"raw", VideoCodec::Uncompressed},
                                                       {"mjpeg", VideoCodec::Mjpeg},
                                                       {"mpeg4", VideoCodec::Mpeg4},
                                                       {"ffv1", VideoCodec::Ffv1},
                                                       {"h264", VideoCodec::H264}};
  return names;
}

std::string videoOutputName(const std::string& given) {
  const std::string named = withDefaultExtension(given);
  if (!containerOf(named)) throw CommandError(unknownContainer(named).message(), kUsageExit);
  return named;
}

CLI::Option* addAviCaptureArgs(CLI::App& command, AviCaptureArgs& args) {
  CLI::Option* path = command.add_option(
      "--avi", args.path, "capture what is shown into this AVI file (.avi added to a name without an extension)");
  command.add_option("--avi-codec", args.codec, "the capture's video: raw (default), mjpeg, mpeg4, ffv1 or h264")
      ->check(CLI::IsMember(videoCodecNames()))
      ->needs(path);
  return path;
}

void startAviCapture(PlayerEngine& engine, const AviCaptureArgs& args, int captureMode) {
  Compression compression;
  compression.codec = videoCodecNames().at(args.codec);
  const int result = engine.startAviCapture(args.path, compression, captureMode);
  if (result != avi_result::kDone) {
    const Status why = engine.aviRecorder().lastFailure();
    throw CommandError("cannot capture into " + args.path + ": " +
                       (why ? "AVI recorder result " + std::to_string(result) : why.message()));
  }
}

void finishAviCapture(PlayerEngine& engine, const AviCaptureArgs& args, bool events) {
  const AviRecorder& recorder = engine.aviRecorder();
  const long long frames = recorder.framesWritten();
  const unsigned samples = recorder.audioSamplesWritten();
  engine.stopAviCapture();
  if (events) {
    std::printf("{\"event\":\"avi\",\"frames\":%lld,\"samples\":%u}\n", frames, samples);
    std::fflush(stdout);
  }
  std::cerr << "captured " << frames << " frames and " << samples << " sound samples into " << args.path << "\n";
}

}  // namespace marlin::cli
