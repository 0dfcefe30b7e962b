#include "engine/evidence_check.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "evidence/ed25519.h"
#include "evidence/folder_layout.h"
#include "evidence/json_reader.h"
#include "evidence/manifest.h"
#include "evidence/original_blocks.h"
#include "evidence/sha256sums.h"
#include "evidence/small_file.h"
#include "source/local_time.h"

namespace marlin {

namespace {

using evidence::FileDigest;
using evidence::Manifest;
using evidence::ManifestFile;
using evidence::Sha256SumsEntry;

// Listings of a few lines and a signature of 64 bytes: past these a file is
// refused before it is read whole.
constexpr std::size_t kSumsLimit = 1u << 20;
constexpr std::size_t kSignatureLimit = 1u << 10;
constexpr std::size_t kPublicKeyLimit = 64u << 10;

std::string pathIn(const std::string& folder, std::string_view name) {
  return (std::filesystem::path(folder) / name).string();
}

// What the folder's listings claim of one file.
struct Claims {
  std::string name;
  const ManifestFile* listed = nullptr;
  const std::string* summed = nullptr;  // its digest in SHA256SUMS
};

Status listFolder(const std::string& folder, std::vector<std::string>& names) {
  std::error_code error;
  for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
    names.push_back(entry->path().filename().string());
  }
  if (error) {
    return Status::fromErrno(error.value(), "cannot list the folder " + folder);
  }
  std::sort(names.begin(), names.end());
  return Status::ok();
}

// SHA256SUMS's entries, or the finding that says why there are none.
std::optional<EvidenceFinding> readSums(const std::string& folder, std::vector<Sha256SumsEntry>& entries) {
  const std::string name(evidence::kSumsName);
  std::string text;
  Status read = evidence::readSmallFile(pathIn(folder, name), kSumsLimit, text);
  if (read.code() == StatusCode::NotFound) {
    return EvidenceFinding{EvidenceCheck::Sums, name, EvidenceResult::Missing, {}};
  }
  if (read) {
    read = evidence::parseSha256Sums(text, entries);
  }
  if (!read) {
    entries.clear();
    return EvidenceFinding{EvidenceCheck::Sums, name, EvidenceResult::Bad, read.message()};
  }
  for (const Sha256SumsEntry& entry : entries) {
    if (!evidence::isPlainFileName(entry.name)) {
      entries.clear();
      return EvidenceFinding{EvidenceCheck::Sums, name, EvidenceResult::Bad,
                             "it lists " + entry.name + ", which is not a file of the folder"};
    }
  }
  return std::nullopt;
}

// The manifest's files, then those only SHA256SUMS lists, each once.
std::vector<Claims> claimsOf(const Manifest& manifest, const std::vector<Sha256SumsEntry>& sums) {
  std::vector<Claims> claims;
  std::unordered_map<std::string, std::size_t> byName;
  for (const ManifestFile& file : manifest.files) {
    byName.emplace(file.name, claims.size());
    claims.push_back({file.name, &file, nullptr});
  }
  for (const Sha256SumsEntry& entry : sums) {
    const auto [at, added] = byName.emplace(entry.name, claims.size());
    if (added) {
      claims.push_back({entry.name, nullptr, &entry.sha256});
    } else {
      claims[at->second].summed = &entry.sha256;
    }
  }
  return claims;
}

EvidenceFinding contentsFinding(const Claims& claims, const FileDigest& digest) {
  EvidenceFinding finding{EvidenceCheck::Contents, claims.name, EvidenceResult::Ok, {}};
  if (digest.status.code() == StatusCode::NotFound) {
    finding.result = EvidenceResult::Missing;
    return finding;
  }
  if (!digest.status) {
    finding.result = EvidenceResult::Bad;
    finding.detail = digest.status.message();
    return finding;
  }
  std::vector<std::string> differences;
  if (claims.listed != nullptr && claims.listed->size != digest.size) {
    differences.push_back(std::to_string(digest.size) + " bytes where the manifest says " +
                          std::to_string(claims.listed->size));
  }
  if (claims.listed != nullptr && claims.listed->sha256 != digest.sha256) {
    differences.push_back("SHA-256 differs from the manifest's");
  }
  if (claims.summed != nullptr && *claims.summed != digest.sha256) {
    differences.push_back("SHA-256 differs from " + std::string(evidence::kSumsName) + "'s");
  }
  for (const std::string& difference : differences) {
    finding.result = EvidenceResult::Changed;
    finding.detail += (finding.detail.empty() ? "" : "; ") + difference;
  }
  return finding;
}

// Whatever lies in the folder beside the manifest's files and the folder's own.
void addAddedFindings(const std::vector<std::string>& present, const Manifest& manifest,
                      std::vector<EvidenceFinding>& findings) {
  std::unordered_set<std::string_view> expected = {evidence::kManifestName, evidence::kSumsName,
                                                   evidence::kSignatureName, evidence::kPublicKeyName};
  for (const ManifestFile& file : manifest.files) {
    expected.insert(file.name);
  }
  for (const std::string& name : present) {
    if (expected.count(name) == 0) {
      findings.push_back({EvidenceCheck::Listing, name, EvidenceResult::Added, {}});
    }
  }
}

EvidenceFinding blocksFinding(const std::string& folder, const Manifest& manifest) {
  const std::string name(evidence::kOriginalName);
  EvidenceFinding finding{EvidenceCheck::Blocks, name, EvidenceResult::Bad, {}};
  evidence::OriginalBlocks blocks;
  if (const Status surveyed = evidence::surveyOriginalBlocks(pathIn(folder, name), manifest.variant, blocks);
      !surveyed) {
    finding.detail = surveyed.message();
    return finding;
  }
  const std::string exported =
      formatCalendarTime(manifest.exportedStart) + " .. " + formatCalendarTime(manifest.exportedEnd);
  const std::optional<std::uint32_t> start = blockTimeFromLocal(manifest.exportedStart);
  const std::optional<std::uint32_t> end = blockTimeFromLocal(manifest.exportedEnd);
  if (!start || !end) {
    finding.detail = "the exported range " + exported + " holds a time no block can have";
    return finding;
  }
  const std::string held = std::to_string(blocks.blocks) + " blocks, check bytes hold, " +
                           localTimeText(blocks.firstTime) + " .. " + localTimeText(blocks.lastTime);
  if (blocks.firstTime <= *start && blocks.lastTime >= *end) {
    finding.result = EvidenceResult::Ok;
    finding.detail = held + " cover the range";
  } else {
    finding.detail = held + " do not cover the exported range " + exported;
  }
  return finding;
}

// Nothing for a folder that is not signed.
std::vector<EvidenceFinding> signatureFindings(const std::string& folder, std::string_view manifestText) {
  const std::string signatureName(evidence::kSignatureName);
  const std::string keyName(evidence::kPublicKeyName);
  std::string signature;
  const Status signatureRead = evidence::readSmallFile(pathIn(folder, signatureName), kSignatureLimit, signature);
  if (signatureRead.code() == StatusCode::NotFound) {
    return {};
  }
  if (!signatureRead) {
    return {{EvidenceCheck::Signature, signatureName, EvidenceResult::Bad, signatureRead.message()}};
  }
  std::string key;
  const Status keyRead = evidence::readSmallFile(pathIn(folder, keyName), kPublicKeyLimit, key);
  if (keyRead.code() == StatusCode::NotFound) {
    return {{EvidenceCheck::Signature, keyName, EvidenceResult::Missing,
             "the key to check " + signatureName + " with is not there"}};
  }
  if (!keyRead) {
    return {{EvidenceCheck::Signature, keyName, EvidenceResult::Bad, keyRead.message()}};
  }
  const auto bytes = [](std::string_view text) {
    return std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  };
  std::string fingerprint;
  Status verified = evidence::verifyEd25519(key, bytes(manifestText), bytes(signature));
  if (verified) {
    verified = evidence::publicKeyFingerprint(key, fingerprint);
  }
  if (!verified) {
    return {{EvidenceCheck::Signature, signatureName, EvidenceResult::Bad, verified.message()}};
  }
  return {{EvidenceCheck::Signature, signatureName, EvidenceResult::Ok, "Ed25519, signed by key " + fingerprint}};
}

}  // namespace

Status checkEvidenceFolder(const std::string& folder, const EvidenceCheckOptions& options,
                           std::vector<EvidenceFinding>& findings) {
  findings.clear();
  std::vector<std::string> present;
  if (Status listed = listFolder(folder, present); !listed) {
    return listed;
  }
  const std::string manifestName(evidence::kManifestName);
  std::string manifestText;
  Status read = evidence::readSmallFile(pathIn(folder, manifestName), evidence::JsonLimits{}.maxBytes, manifestText);
  if (read.code() == StatusCode::NotFound) {
    findings.push_back({EvidenceCheck::Manifest, manifestName, EvidenceResult::Missing, {}});
    return Status::ok();
  }
  Manifest manifest;
  if (read) {
    read = evidence::readManifest(manifestText, manifest);
  }
  if (!read) {
    findings.push_back({EvidenceCheck::Manifest, manifestName, EvidenceResult::Bad, read.message()});
    return Status::ok();
  }

  std::vector<Sha256SumsEntry> sums;
  const std::optional<EvidenceFinding> sumsProblem = readSums(folder, sums);
  const std::vector<Claims> claims = claimsOf(manifest, sums);
  std::vector<std::string> paths;
  for (const Claims& claim : claims) {
    paths.push_back(pathIn(folder, claim.name));
  }
  const std::vector<FileDigest> digests = evidence::digestFiles(paths, options.threads, options.progress);
  bool originalThere = false;
  for (std::size_t i = 0; i < claims.size(); ++i) {
    findings.push_back(contentsFinding(claims[i], digests[i]));
    originalThere |= claims[i].name == evidence::kOriginalName && digests[i].status.isOk();
  }
  if (sumsProblem) {
    findings.push_back(*sumsProblem);
  }

  addAddedFindings(present, manifest, findings);
  if (originalThere) {
    findings.push_back(blocksFinding(folder, manifest));
  }
  for (EvidenceFinding& finding : signatureFindings(folder, manifestText)) {
    findings.push_back(std::move(finding));
  }
  return Status::ok();
}

std::size_t countProblems(const std::vector<EvidenceFinding>& findings) {
  return static_cast<std::size_t>(std::count_if(findings.begin(), findings.end(), [](const EvidenceFinding& finding) {
    return finding.result != EvidenceResult::Ok;
  }));
}

}  // namespace marlin
