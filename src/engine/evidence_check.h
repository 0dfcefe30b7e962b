#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "base/status.h"
#include "evidence/file_digests.h"

namespace marlin {

// What one finding is about.
enum class EvidenceCheck {
  Manifest,   // manifest.json could be read
  Contents,   // a file's size and SHA-256 against the manifest and SHA256SUMS
  Sums,       // SHA256SUMS is there and can be read
  Listing,    // nothing lies in the folder that the manifest does not list
  Blocks,     // original.QKV's check bytes and the range its block times cover
  Signature,  // manifest.sig against public_key.pem
};

enum class EvidenceResult { Ok, Changed, Missing, Added, Bad };

struct EvidenceFinding {
  EvidenceCheck check = EvidenceCheck::Contents;
  std::string file;
  EvidenceResult result = EvidenceResult::Ok;
  // Why, for a finding that is not Ok; what was found, for the block and
  // signature checks.
  std::string detail;
};

struct EvidenceCheckOptions {
  unsigned threads = 0;  // workers hashing files, 0: one per core
  evidence::HashingProgress progress;
};

// Checks the evidence folder at folder. The findings come in this order:
// every file the manifest lists, then every other one SHA256SUMS lists (each
// hashed once, on a pool of workers); SHA256SUMS itself when it is missing or
// cannot be read; anything else in the folder, by name; original.QKV's blocks
// against the exported range; the manifest's signature when there is one. A
// manifest that is missing or cannot be read is the one finding. Fails only
// when the folder itself cannot be listed.
Status checkEvidenceFolder(const std::string& folder, const EvidenceCheckOptions& options,
                           std::vector<EvidenceFinding>& findings);

std::size_t countProblems(const std::vector<EvidenceFinding>& findings);

}  // namespace marlin
