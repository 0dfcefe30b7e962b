#include "export/timed_text.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "export/ffmpeg_functions.h"

namespace marlin {

namespace {

// The sample description of 3GPP timed text: no scrolling or karaoke
// flags, centred at the bottom, clear background, the whole picture as the
// text box, one style (font 1, 18 px, white) and a font table naming that
// font "Sans".
constexpr std::array<std::uint8_t, 47> kTextSampleEntry = {
    0x00, 0x00, 0x00, 0x00,                               // display flags
    0x01, 0xFF,                                           // centred; at the bottom
    0x00, 0x00, 0x00, 0x00,                               // background, clear
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,       // text box: the whole picture
    0x00, 0x00, 0x00, 0x00,                               // style: from the first character to the last
    0x00, 0x01, 0x00, 0x12,                               // font 1, plain, 18 px
    0xFF, 0xFF, 0xFF, 0xFF,                               // white
    0x00, 0x00, 0x00, 0x11, 'f',  't',  'a',  'b',        // font table box, 17 bytes
    0x00, 0x01, 0x00, 0x01, 0x04, 'S',  'a',  'n',  's',  // one font: 1, "Sans"
};

}  // namespace

Status describeTextStream(Container container, AVCodecParameters* parameters) {
  parameters->codec_type = AVMEDIA_TYPE_SUBTITLE;
  if (container == Container::Matroska) {
    parameters->codec_id = AV_CODEC_ID_SUBRIP;
    return Status::ok();
  }
  if (container != Container::Mp4) {
    return Status::failure(StatusCode::Unsupported, "AVI files hold no text track");
  }
  parameters->codec_id = AV_CODEC_ID_MOV_TEXT;
  // The sample entry is all the description needs; the padding FFmpeg asks
  // of every extradata buffer stays zero.
  auto* extradata = static_cast<std::uint8_t*>(av().av_mallocz(kTextSampleEntry.size() + AV_INPUT_BUFFER_PADDING_SIZE));
  if (extradata == nullptr) return Status::failure(StatusCode::OutOfMemory, "no memory for the text track");
  std::memcpy(extradata, kTextSampleEntry.data(), kTextSampleEntry.size());
  parameters->extradata = extradata;
  parameters->extradata_size = static_cast<int>(kTextSampleEntry.size());
  return Status::ok();
}

void textSample(Container container, std::string_view text, std::vector<std::uint8_t>& out) {
  out.clear();
  if (container == Container::Mp4) {
    // A 3GPP text sample: the text's length in bytes, big-endian, then the text.
    const auto length = static_cast<std::uint16_t>(std::min<std::size_t>(text.size(), 0xFFFF));
    out.push_back(static_cast<std::uint8_t>(length >> 8));
    out.push_back(static_cast<std::uint8_t>(length & 0xFF));
    text = text.substr(0, length);
  }
  out.insert(out.end(), text.begin(), text.end());
}

}  // namespace marlin
