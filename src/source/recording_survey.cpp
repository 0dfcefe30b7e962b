#include "source/recording_survey.h"

#include <vector>

#include "platform/block_file.h"
#include "source/block_reading.h"
#include "source/container.h"
#include "source/stream_source.h"

namespace marlin {

namespace {

constexpr std::uint64_t kProgressStep = 64 * container::kBlockSize;

void surveyBlocks(const BlockFile& file, const SurveyRequest& request, RecordingSurvey& survey,
                  const SurveyProgress& progress) {
  std::vector<std::uint8_t> block(container::kBlockSize);
  const BlockLayout layout{request.isDisk, isBigEndianVariant(request.variant)};
  for (std::uint64_t offset = 0; offset < survey.size; offset += container::kBlockSize) {
    BlockHeader header;
    const BlockRead read = readBlock(file, offset, layout, block.data(), header);
    if (read == BlockRead::Short) {
      ++survey.shortBlocks;
      continue;
    }
    if (read == BlockRead::Bad) {
      ++survey.badBlocks;
      continue;
    }
    ++survey.validBlocks;
    if (!survey.firstBlockTime) {
      survey.firstBlockTime = header.time;
    }
    survey.lastBlockTime = header.time;
    survey.channelMasks.insert(header.channelMask);
    survey.frameIntervals.insert(header.frameInterval);
    if (progress && offset % kProgressStep == 0) {
      progress(offset, 2 * survey.size);
    }
  }
}

void surveyFrames(StreamSource& source, RecordingSurvey& survey, const SurveyProgress& progress) {
  std::vector<std::uint8_t> frame(container::kFrameBufferSize);
  std::uint64_t lastReport = 0;
  while (const std::uint32_t length = readOnward(source, frame.data(), false)) {
    const FrameHeader& header = source.header();
    if (header.isAudio) {
      ++survey.audioFrames[header.channel & 3];
    } else {
      ++survey.videoFrames[header.channel & 15];
    }
    survey.largestFrame = std::max(survey.largestFrame, length);
    const std::uint64_t position = source.getPosition();
    if (progress && position >= lastReport + kProgressStep) {
      lastReport = position;
      progress(survey.size + std::min(position, survey.size), 2 * survey.size);
    }
  }
}

}  // namespace

Status surveyRecording(const SurveyRequest& request, const SurveyProgress& progress, RecordingSurvey& survey) {
  StreamSource source;
  source.setCodecVariant(request.variant);
  if (Status opened = source.open(request.path, request.isDisk); !opened) {
    return opened;
  }
  BlockFile file;
  if (const Status opened = file.open(request.path); !opened) {
    return openFailure(request.path, opened.code(), opened.systemError());
  }
  survey = RecordingSurvey{};
  survey.size = source.getSize();
  surveyBlocks(file, request, survey, progress);
  surveyFrames(source, survey, progress);
  return Status::ok();
}

}  // namespace marlin
