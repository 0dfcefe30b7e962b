#include "engine/evidence_lines.h"

#include "engine/json_text.h"

namespace marlin {

namespace {

const char* resultWord(EvidenceResult result) {
  switch (result) {
    case EvidenceResult::Ok:
      return "OK";
    case EvidenceResult::Changed:
      return "CHANGED";
    case EvidenceResult::Missing:
      return "MISSING";
    case EvidenceResult::Added:
      return "ADDED";
    case EvidenceResult::Bad:
      break;
  }
  return "BAD";
}

const char* checkWord(EvidenceCheck check) {
  switch (check) {
    case EvidenceCheck::Manifest:
      return "manifest";
    case EvidenceCheck::Contents:
      return "contents";
    case EvidenceCheck::Sums:
      return "sums";
    case EvidenceCheck::Listing:
      return "listing";
    case EvidenceCheck::Blocks:
      return "blocks";
    case EvidenceCheck::Signature:
      break;
  }
  return "signature";
}

}  // namespace

std::string evidenceFindingText(const EvidenceFinding& finding) {
  const bool ok = finding.result == EvidenceResult::Ok;
  if (finding.check == EvidenceCheck::Blocks) {
    return (ok ? "" : "BAD ") + finding.file + " blocks: " + finding.detail + "\n";
  }
  if (finding.check == EvidenceCheck::Signature && ok) {
    return "OK " + finding.file + " (" + finding.detail + ")\n";
  }
  return resultWord(finding.result) + (" " + finding.file) + (finding.detail.empty() ? "" : ": " + finding.detail) +
         "\n";
}

std::string evidenceFindingJsonLine(const EvidenceFinding& finding) {
  std::string line = "{\"event\":\"verify\",\"file\":" + jsonString(finding.file) + ",\"result\":\"" +
                     resultWord(finding.result) + "\",\"check\":\"" + checkWord(finding.check) + "\"";
  if (!finding.detail.empty()) {
    line += ",\"detail\":" + jsonString(finding.detail);
  }
  return line + "}\n";
}

std::string evidenceVerdictText(std::size_t problems) {
  if (problems == 0) {
    return "verdict: intact\n";
  }
  return "verdict: NOT intact: " + std::to_string(problems) + (problems == 1 ? " problem\n" : " problems\n");
}

std::string evidenceVerdictJsonLine(std::size_t problems) {
  return std::string("{\"event\":\"verdict\",\"intact\":") + (problems == 0 ? "true" : "false") +
         ",\"problems\":" + std::to_string(problems) + "}\n";
}

}  // namespace marlin
