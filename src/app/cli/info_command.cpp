#include <cinttypes>
#include <cstdio>
#include <iostream>
#include <sstream>

#include "app/cli/commands.h"
#include "app/cli/progress_line.h"
#include "app/cli/recording_args.h"
#include "source/local_time.h"
#include "source/recording_survey.h"

namespace marlin::cli {

namespace {

std::string blockTimeText(const std::optional<std::uint32_t>& time) {
  return time ? localTimeText(*time) : std::string();
}

std::string hex16(std::uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", value);
  return text;
}

template <std::size_t N>
std::string perChannelText(const std::array<std::uint64_t, N>& counts) {
  std::string text;
  for (std::size_t channel = 0; channel < N; ++channel) {
    if (counts[channel] != 0) {
      text += (text.empty() ? "" : ", ") + std::string("ch") + std::to_string(channel) + " " +
              std::to_string(counts[channel]);
    }
  }
  return text.empty() ? "none" : text;
}

template <std::size_t N>
std::string perChannelJson(const std::array<std::uint64_t, N>& counts) {
  std::string text;
  for (std::size_t channel = 0; channel < N; ++channel) {
    if (counts[channel] != 0) {
      text += (text.empty() ? "" : ", ") + jsonString(std::to_string(channel)) + ": " + std::to_string(counts[channel]);
    }
  }
  return "{" + text + "}";
}

template <class Set, class Format>
std::string joined(const Set& values, Format format, const char* separator) {
  std::string text;
  for (const auto value : values) {
    text += (text.empty() ? "" : separator) + format(value);
  }
  return text;
}

void printText(const RecordingArgs& recording, const RecordingSurvey& survey) {
  const auto decimal = [](auto value) { return std::to_string(value); };
  const auto quotedHex = [](std::uint16_t value) { return hex16(value); };
  std::cout << "file: " << recording.path << "\n"
            << "read as: " << describeRecognition(recording.recognition) << "\n"
            << "size: " << survey.size << " bytes\n"
            << "blocks: " << survey.validBlocks << " valid, " << survey.badBlocks << " bad, " << survey.shortBlocks
            << " short\n"
            << "first block time: " << (survey.firstBlockTime ? blockTimeText(survey.firstBlockTime) : "none") << "\n"
            << "last block time: " << (survey.lastBlockTime ? blockTimeText(survey.lastBlockTime) : "none") << "\n"
            << "channel masks: "
            << (survey.channelMasks.empty() ? "none" : joined(survey.channelMasks, quotedHex, ", ")) << "\n"
            << "frame intervals: "
            << (survey.frameIntervals.empty() ? "none" : joined(survey.frameIntervals, decimal, ", ")) << "\n"
            << "video frames: " << perChannelText(survey.videoFrames) << "\n"
            << "audio frames: " << perChannelText(survey.audioFrames) << "\n"
            << "largest frame: " << survey.largestFrame << " bytes\n";
}

void printJson(const RecordingArgs& recording, const RecordingSurvey& survey) {
  const auto decimal = [](auto value) { return std::to_string(value); };
  const auto optionalTime = [](const std::optional<std::uint32_t>& time) {
    return time ? jsonString(blockTimeText(time)) : std::string("null");
  };
  std::cout << "{\"file\": " << jsonString(recording.path) << ", \"disk\": " << (recording.isDisk ? "true" : "false")
            << ", \"variant\": " << recording.variant
            << ", \"readAs\": " << jsonString(describeRecognition(recording.recognition))
            << ", \"size\": " << survey.size << ", \"blocks\": {\"valid\": " << survey.validBlocks
            << ", \"bad\": " << survey.badBlocks << ", \"short\": " << survey.shortBlocks << "}"
            << ", \"firstBlockTime\": " << optionalTime(survey.firstBlockTime)
            << ", \"lastBlockTime\": " << optionalTime(survey.lastBlockTime) << ", \"channelMasks\": ["
            << joined(survey.channelMasks, decimal, ", ") << "], \"frameIntervals\": ["
            << joined(survey.frameIntervals, decimal, ", ")
            << "], \"videoFrames\": " << perChannelJson(survey.videoFrames)
            << ", \"audioFrames\": " << perChannelJson(survey.audioFrames)
            << ", \"largestFrame\": " << survey.largestFrame << "}\n";
}

}  // namespace

void addInfoCommand(CLI::App& app) {
  struct Options {
    RecordingArgs recording;
    bool json = false;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command = app.add_subcommand("info", "Summarise a recording: blocks, times, channels, frames");
  addRecordingArgs(*command, options->recording);
  command->add_flag("--json", options->json, "print one JSON object");
  command->callback([options] {
    ProgressLine progress("surveying");
    const SurveyRequest request{options->recording.path, options->recording.isDisk, options->recording.variant};
    RecordingSurvey survey;
    const Status surveyed = surveyRecording(
        request, [&progress](std::uint64_t done, std::uint64_t total) { progress.update(done, total); }, survey);
    progress.finish();
    if (!surveyed) {
      throw openFailureError(surveyed);
    }
    if (options->json) {
      printJson(options->recording, survey);
    } else {
      printText(options->recording, survey);
    }
  });
}

}  // namespace marlin::cli
