#pragma once

#include <cstddef>
#include <string>

#include "engine/evidence_check.h"

namespace marlin {

// What a check of an evidence folder says, a line a finding and the verdict
// last, for people or as JSON lines for scripts; each line ends in a newline.

// "OK CH1.mp4", "CHANGED CH2.mp4: SHA-256 differs from the manifest's",
// "original.QKV blocks: 12 blocks, ... cover the range",
// "OK manifest.sig (Ed25519, signed by key 0123456789abcdef)".
std::string evidenceFindingText(const EvidenceFinding& finding);
// {"event":"verify","file":...,"result":"OK","check":"contents"}, with "detail"
// when there is one.
std::string evidenceFindingJsonLine(const EvidenceFinding& finding);

// "verdict: intact" or "verdict: NOT intact: 2 problems".
std::string evidenceVerdictText(std::size_t problems);
// {"event":"verdict","intact":false,"problems":2}
std::string evidenceVerdictJsonLine(std::size_t problems);

}  // namespace marlin
