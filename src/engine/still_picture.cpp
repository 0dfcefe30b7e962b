#include "engine/still_picture.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string>

#include "codec/video_decoder.h"
#include "engine/picture_tag.h"
#include "engine/refresh_window.h"

namespace marlin {

namespace {

constexpr std::uint64_t kNoTarget = ~0ull;

StillField cameraHalf(const std::uint8_t* picture, const codec::PictureHeader& header, int camera) {
  StillField field;
  const bool dual = header.dual;
  field.width = dual ? header.width / 2 : header.width;
  field.height = header.height;
  const int offset = dual && camera == header.secondChannel ? field.width : 0;
  field.yuv.resize(static_cast<std::size_t>(field.width) * field.height * 3 / 2);
  const std::uint8_t* planes[3] = {picture, picture + header.width * header.height,
                                   picture + header.width * header.height * 5 / 4};
  std::uint8_t* out = field.yuv.data();
  for (int plane = 0; plane < 3; ++plane) {
    const int scale = plane == 0 ? 1 : 2;
    for (int row = 0; row < field.height / scale; ++row) {
      std::copy_n(planes[plane] + row * (header.width / scale) + offset / scale, field.width / scale, out);
      out += field.width / scale;
    }
  }
  return field;
}

}  // namespace

Status decodeStill(StreamSource& source, int variant, std::uint64_t position, int camera, StillDepth depth,
                   StillField& out) {
  const std::string name = "camera " + std::to_string(camera + 1);
  VideoDecoder decoder;
  decoder.Init(variant);
  const auto frame = std::make_unique<std::array<std::uint8_t, container::kFrameBufferSize>>();
  ChannelSet wanted;
  wanted.set(static_cast<std::size_t>(camera));
  std::uint64_t target = kNoTarget;
  std::uint64_t targetEnd = kNoTarget;
  returnTo(source, nextFrameStart(source, position));
  while (const std::uint32_t length = readOnward(source, frame->data(), false)) {
    if (!source.header().isAudio && decoder.ParseHeader(frame->data(), length) != 0 &&
        (PictureTag::of(decoder.header(), {}, 0).channels() & wanted).any()) {
      target = source.header().start;
      targetEnd = source.getPosition();
      break;
    }
  }
  if (target == kNoTarget) {
    return Status::failure(StatusCode::NotFound, name + " has no picture at or after that point");
  }
  // Searched back from the picture's end: a refresh picture is its own start.
  const RefreshStart start = findRefreshStart(source, decoder, frame->data(), wanted, targetEnd);
  if (!start.found.test(static_cast<std::size_t>(camera))) {
    return Status::failure(StatusCode::NotFound, name +
                                                     " has no refresh picture within 5 s or 4 MiB before that "
                                                     "picture: it cannot be shown without parts of another moment");
  }
  std::vector<std::uint8_t> picture(VideoDecoder::kMaxPictureBytes);
  bool started = false;
  bool clean = true;
  StillField field;
  visitPicturesForward(source, decoder, frame->data(), wanted, start.position, target + 1,
                       [&](const std::uint8_t* bytes, std::uint32_t length) {
                         if (!field.yuv.empty() && depth == StillDepth::RefreshOnly) {
                           return;
                         }
                         started = started || decoder.header().allCoded;
                         if (!started) {
                           return;
                         }
                         clean = decoder.Decode(bytes, length, picture.data()) == 1 && clean;
                         if (source.header().start == target || depth == StillDepth::RefreshOnly) {
                           field = cameraHalf(picture.data(), decoder.header(), camera);
                           field.time = source.header().blockTime;
                           field.position = source.header().start;
                         }
                       });
  if (!clean || field.yuv.empty()) {
    return Status::failure(StatusCode::BadData,
                           name + "'s picture at " + std::to_string(target) + " or one it builds on is damaged");
  }
  out = std::move(field);
  return Status::ok();
}

}  // namespace marlin
