#include "recognition/picture_evidence.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "codec/video_decoder.h"
#include "source/container.h"
#include "source/stream_source.h"

namespace marlin {

namespace {

// A variant of each layout, to set a decoder to it.
struct LayoutTrial {
  codec::HeaderLayout layout;
  CodecVariant variant;
};
constexpr std::array<LayoutTrial, 4> kLayoutTrials = {{{codec::HeaderLayout::A, kVariantQk4},
                                                       {codec::HeaderLayout::B, kVariantQkt2},
                                                       {codec::HeaderLayout::C, kVariantQkn},
                                                       {codec::HeaderLayout::D, kVariantQkt3}}};

// One layout's decoder and how many pictures it took.
struct LayoutCandidate {
  codec::HeaderLayout layout;
  VideoDecoder decoder;
  std::vector<std::uint8_t> picture = std::vector<std::uint8_t>(VideoDecoder::kMaxPictureBytes);
  int consistent = 0;
};

bool recordedChannel(int channel, std::uint16_t recordedMask) {
  return recordedMask == 0 || (channel >= 0 && channel < 16 && ((recordedMask >> channel) & 1) != 0);
}

// A picture fits a layout when its header parses there, its slices begin
// right after that layout's header, its camera is one the blocks record, and
// its slices decode.
bool fits(LayoutCandidate& candidate, const std::uint8_t* frame, std::uint32_t length, std::uint16_t recordedMask) {
  if (candidate.decoder.ParseHeader(frame, length) == 0) {
    return false;
  }
  const codec::PictureHeader& header = candidate.decoder.header();
  return header.slices[0] == codec::pictureHeaderSize(candidate.layout) &&
         recordedChannel(header.channel, recordedMask) &&
         candidate.decoder.Decode(frame, length, candidate.picture.data()) == 1;
}

}  // namespace

std::optional<codec::HeaderLayout> recognisePictureLayout(const std::string& path, BlockByteOrder byteOrder,
                                                          HeaderByteOrder headerOrder) {
  StreamSource source;
  source.setCodecVariant(headerOrder == HeaderByteOrder::Big ? kVariantQkc : kVariantQkt2);
  if (!source.open(path, byteOrder == BlockByteOrder::Disk)) {
    return std::nullopt;
  }
  std::vector<std::unique_ptr<LayoutCandidate>> candidates;
  for (const LayoutTrial& trial : kLayoutTrials) {
    candidates.push_back(std::make_unique<LayoutCandidate>());
    candidates.back()->layout = trial.layout;
    candidates.back()->decoder.Init(trial.variant);
  }
  const std::uint16_t recordedMask = source.recordedChannelMask();
  const auto frame = std::make_unique<std::array<std::uint8_t, container::kFrameBufferSize>>();
  int examined = 0;
  while (examined < kPicturesExamined) {
    const std::uint32_t length = readOnward(source, frame->data(), false);
    if (length == 0) {
      break;
    }
    if (source.header().isAudio) {
      continue;
    }
    ++examined;
    for (const auto& candidate : candidates) {
      candidate->consistent += fits(*candidate, frame->data(), length, recordedMask) ? 1 : 0;
    }
  }
  std::sort(candidates.begin(), candidates.end(),
            [](const auto& a, const auto& b) { return a->consistent > b->consistent; });
  // Most of the pictures must fit, so a stray damaged one does not hide the
  // layout, and the runner-up must fit fewer, or nothing tells them apart.
  const int best = candidates[0]->consistent;
  if (best == 0 || best * 4 < examined * 3 || candidates[1]->consistent == best) {
    return std::nullopt;
  }
  return candidates[0]->layout;
}

}  // namespace marlin
