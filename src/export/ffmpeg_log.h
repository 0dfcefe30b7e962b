#pragma once

namespace marlin {

// Sends FFmpeg's own messages (encoder statistics, muxer warnings) to the
// levelled log instead of standard error, where they would mix with the
// tools' output. Process-wide; the first call installs it, later ones do
// nothing.
void routeFfmpegLogOnce();

}  // namespace marlin
