#pragma once

namespace marlin::desktop {

// What an export started from the window makes.
enum class ExportKind {
  Files,     // a file per camera, in the compression chosen
  Evidence,  // an evidence folder: the original blocks, working copies, manifest and hashes
};

}  // namespace marlin::desktop
