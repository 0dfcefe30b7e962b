#include "engine/reverse_picture_cache.h"

#include "engine/refresh_window.h"

namespace marlin {

namespace {

std::size_t pictureBytes(const YuvPicture& picture) { return picture.data.capacity(); }

}  // namespace

ReversePictureCache::ReversePictureCache(std::size_t budgetBytes) : budget_(budgetBytes) {}

const ReversePictureCache::Entry* ReversePictureCache::take(std::uint64_t start) {
  while (!entries_.empty() && entries_.rbegin()->first > start) {
    auto last = std::prev(entries_.end());
    spare_.push_back(std::move(last->second.picture));
    entries_.erase(last);
  }
  const auto found = entries_.find(start);
  return found == entries_.end() ? nullptr : &found->second;
}

void ReversePictureCache::fill(StreamSource& source, VideoDecoder& decoder, std::uint8_t* frame, std::uint64_t start,
                               ChannelSet wanted) {
  used_ = true;
  const std::uint64_t readPosition = source.getPosition();
  const RefreshStart from = findRefreshStart(source, decoder, frame, wanted, start);
  if (from.found.any()) {
    references_.invalidateAll();
    visitPicturesForward(source, decoder, frame, wanted, from.position, start + 1,
                         [&](const std::uint8_t* bytes, std::uint32_t length) {
                           const YuvPicture* picture = references_.decodeParsed(decoder, bytes, length);
                           const FrameHeader& header = source.header();
                           if (picture != nullptr && !entries_.contains(header.start)) {
                             keep(header.start, PictureTag::of(decoder.header(), header.blockTime, 0), *picture);
                           }
                         });
  }
  returnTo(source, readPosition);
}

void ReversePictureCache::keep(std::uint64_t start, const PictureTag& tag, const YuvPicture& picture) {
  const std::size_t needed = picture.data.size();
  // Over the budget, spare pictures are freed and then the earliest ones
  // let go: backward play reaches them last.
  while (bytesHeld() + (spare_.empty() ? needed : 0) > budget_ && !(entries_.empty() && spare_.empty())) {
    if (!spare_.empty()) {
      spare_.pop_back();
    } else {
      spare_.push_back(std::move(entries_.begin()->second.picture));
      entries_.erase(entries_.begin());
    }
  }
  YuvPicture copy;
  if (!spare_.empty()) {
    copy = std::move(spare_.back());
    spare_.pop_back();
  }
  copy.width = picture.width;
  copy.height = picture.height;
  copy.data.assign(picture.data.begin(), picture.data.end());
  entries_.emplace(start, Entry{tag, std::move(copy)});
}

const YuvPicture* ReversePictureCache::decodeRefresh(VideoDecoder& decoder, const std::uint8_t* frame,
                                                     std::uint32_t length) {
  used_ = true;
  return references_.decodeParsed(decoder, frame, length);
}

void ReversePictureCache::clear() {
  if (!used_) {
    return;
  }
  used_ = false;
  entries_.clear();
  spare_.clear();
  references_.clear();
}

std::size_t ReversePictureCache::bytesHeld() const {
  std::size_t bytes = 0;
  for (const auto& [start, entry] : entries_) {
    bytes += pictureBytes(entry.picture);
  }
  for (const YuvPicture& picture : spare_) {
    bytes += pictureBytes(picture);
  }
  for (std::size_t slot = 0; slot < PictureStore::kSlots; ++slot) {
    bytes += pictureBytes(references_.picture(slot));
  }
  return bytes;
}

}  // namespace marlin
