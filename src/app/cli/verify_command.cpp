#include <cstdio>

#include "app/cli/cli_support.h"
#include "app/cli/commands.h"
#include "app/cli/progress_line.h"
#include "engine/evidence_check.h"
#include "engine/evidence_lines.h"

namespace marlin::cli {

namespace {

struct Options {
  std::string folder;
  bool json = false;
};

void runVerify(const Options& options) {
  std::vector<EvidenceFinding> findings;
  Status checked;
  {
    ProgressLine progress("hashing");
    EvidenceCheckOptions check;
    check.progress = [&progress](std::uint64_t hashed, std::uint64_t total) { progress.update(hashed, total); };
    checked = checkEvidenceFolder(options.folder, check, findings);
  }
  if (!checked) {
    throw CommandError(checked.message());
  }
  for (const EvidenceFinding& finding : findings) {
    std::fputs((options.json ? evidenceFindingJsonLine(finding) : evidenceFindingText(finding)).c_str(), stdout);
  }
  const std::size_t problems = countProblems(findings);
  std::fputs((options.json ? evidenceVerdictJsonLine(problems) : evidenceVerdictText(problems)).c_str(), stdout);
  std::fflush(stdout);
  if (problems != 0) {
    throw CommandError(options.folder + " is not intact");
  }
}

}  // namespace

void addVerifyCommand(CLI::App& app) {
  auto options = std::make_shared<Options>();
  CLI::App* command =
      app.add_subcommand("verify",
                         "Check an evidence folder: every file against its manifest and SHA256SUMS, nothing added, the "
                         "original's blocks and the manifest's signature");
  command->add_option("folder", options->folder, "the evidence folder")->required();
  command->add_flag("--json", options->json, "print JSON lines (one per check, then the verdict) instead of text");
  command->callback([options] { runVerify(*options); });
}

}  // namespace marlin::cli
