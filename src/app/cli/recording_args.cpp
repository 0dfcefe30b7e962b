#include "app/cli/recording_args.h"

#include "engine/open_failure_box.h"

namespace marlin::cli {

void addRecordingArgs(CLI::App& command, RecordingArgs& args, bool withVariant) {
  command.add_option("file", args.path, "recording: a .QKV file, a disk image or a disk device")->required();
  CLI::Option* disk = command.add_flag("--disk", args.isDisk,
                                       "read in DVR disk byte order (16-bit words swapped) instead of recognising it");
  CLI::Option* variant = nullptr;
  if (withVariant) {
    variant = command
                  .add_option("--variant", args.variant,
                              "codec variant 0-6 (6: big-endian block headers) instead of recognising it")
                  ->check(CLI::Range(0, kVariantCount - 1));
  }
  // Runs once the command's options have taken effect, before its callback;
  // the tool's own options that recognition depends on (--verbose) take
  // effect as they are parsed.
  command.parse_complete_callback([&args, disk, variant] {
    ForcedReading forced;
    if (disk->count() != 0) {
      forced.byteOrder = BlockByteOrder::Disk;
    }
    // A command that reads no pictures takes the variant as it is.
    if (variant == nullptr || variant->count() != 0) {
      forced.variant = args.variant;
    }
    args.recognition = recogniseRecording(args.path, forced, {BlockByteOrder::File, args.variant});
    args.isDisk = args.recognition.reading.isDisk();
    args.variant = args.recognition.reading.variant;
  });
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
