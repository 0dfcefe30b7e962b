#include "app/cli/recording_args.h"

#include "engine/open_failure_box.h"

namespace marlin::cli {

void addRecordingArgs(CLI::App& command, RecordingArgs& args, bool withVariant) {
  command.add_option("file", args.path, "recording: a .QKV file, a disk image or a disk device")->required();
  command.add_flag("--disk", args.isDisk, "read in DVR disk byte order (16-bit words swapped)");
  if (withVariant) {
    command.add_option("--variant", args.variant, "codec variant 0-6 (6: big-endian block headers)")
        ->check(CLI::Range(0, kVariantCount - 1));
  }
}

void openRecording(StreamSource& source, const RecordingArgs& args) {
  source.setCodecVariant(args.variant);
  if (const Status opened = source.open(args.path, args.isDisk); !opened) {
    throw openFailureError(opened);
  }
}

CommandError openFailureError(const Status& openFailure) {
  CapturedMessages box;
  raiseOpenFailureBox(openFailure, box);
  return CommandError(box.prefix() + openFailure.message());
}

}  // namespace marlin::cli
