#include "app/desktop/thumbnail_maker.h"

#include <QMetaObject>
#include <QPainter>
#include <algorithm>

#include "codec/colour_convert.h"
#include "engine/still_picture.h"
#include "source/stream_source.h"

namespace marlin::desktop {

namespace {

constexpr std::size_t kKeptPictures = 1024;

QImage smallPicture(const StillField& field) {
  QImage full(field.width, field.height, QImage::Format_RGB32);
  ToRgb32(full.bits(), field.yuv.data(), field.width, field.height);
  // A field is half the picture's lines: shown at the picture's shape.
  const int height = ThumbnailMaker::kWidth * 2 * field.height / std::max(1, field.width);
  return full.scaled(ThumbnailMaker::kWidth, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

}  // namespace

ThumbnailMaker::ThumbnailMaker(QObject* parent) : QObject(parent) {
  worker_ = std::thread([this] { work(); });
}

ThumbnailMaker::~ThumbnailMaker() {
  {
    std::lock_guard guard(lock_);
    stopping_ = true;
  }
  wake_.notify_all();
  worker_.join();
}

void ThumbnailMaker::open(const std::string& path, const RecordingReading& reading) {
  std::lock_guard guard(lock_);
  path_ = path;
  reading_ = reading;
  ++recording_;
  pending_.reset();
  kept_.clear();
  keptOrder_.clear();
}

void ThumbnailMaker::close() { open(std::string(), {}); }

std::uint64_t ThumbnailMaker::request(std::vector<Shot> shots) {
  {
    std::lock_guard guard(lock_);
    pending_ = Request{++lastNumber_, std::move(shots)};
  }
  wake_.notify_one();
  return lastNumber_;
}

QImage ThumbnailMaker::cached(const std::vector<Shot>& shots) const {
  std::lock_guard guard(lock_);
  return cachedLocked(shots);
}

QImage ThumbnailMaker::cachedLocked(const std::vector<Shot>& shots) const {
  std::vector<QImage> parts;
  for (const Shot& shot : shots) {
    const auto found = kept_.find({shot.position, shot.camera});
    if (found == kept_.end()) {
      return {};
    }
    parts.push_back(found->second);
  }
  int width = 0;
  int height = 0;
  for (const QImage& part : parts) {
    width += part.width();
    height = std::max(height, part.height());
  }
  if (width == 0 || height == 0) {
    return {};
  }
  QImage joined(width, height, QImage::Format_RGB32);
  joined.fill(Qt::black);
  QPainter painter(&joined);
  int x = 0;
  for (const QImage& part : parts) {
    painter.drawImage(x, 0, part);
    x += part.width();
  }
  return joined;
}

void ThumbnailMaker::keep(const Key& key, const QImage& picture) {
  if (kept_.emplace(key, picture).second) {
    keptOrder_.push_back(key);
  }
  while (keptOrder_.size() > kKeptPictures) {
    kept_.erase(keptOrder_.front());
    keptOrder_.pop_front();
  }
}

void ThumbnailMaker::work() {
  StreamSource source;
  std::uint64_t openedFor = 0;
  std::unique_lock guard(lock_);
  while (true) {
    wake_.wait(guard, [this] { return stopping_ || pending_.has_value(); });
    if (stopping_) {
      return;
    }
    const Request request = std::move(*pending_);
    pending_.reset();
    const std::uint64_t recording = recording_;
    const std::string path = path_;
    const RecordingReading reading = reading_;
    std::vector<Shot> missing;
    for (const Shot& shot : request.shots) {
      if (kept_.count({shot.position, shot.camera}) == 0) {
        missing.push_back(shot);
      }
    }
    guard.unlock();
    if (openedFor != recording) {
      source.close();
      openedFor = recording;
      if (!path.empty()) {
        source.setCodecVariant(reading.variant);
        (void)source.open(path, reading.isDisk());
      }
    }
    std::vector<std::pair<Key, QImage>> made;
    if (source.isOpen()) {
      for (const Shot& shot : missing) {
        StillField field;
        QImage picture;
        if (decodeStill(source, reading.variant, shot.position, shot.camera, StillDepth::RefreshOnly, field)) {
          picture = smallPicture(field);
        } else {
          // A camera without a picture there keeps its place, dark.
          picture = QImage(kWidth, kWidth * 7 / 10, QImage::Format_RGB32);
          picture.fill(Qt::black);
        }
        made.emplace_back(Key{shot.position, shot.camera}, picture);
      }
    }
    guard.lock();
    if (recording != recording_) {
      continue;
    }
    for (const auto& [key, picture] : made) {
      keep(key, picture);
    }
    const QImage joined = cachedLocked(request.shots);
    QMetaObject::invokeMethod(
        this, [this, number = request.number, joined] { emit ready(number, joined); }, Qt::QueuedConnection);
  }
}

}  // namespace marlin::desktop
