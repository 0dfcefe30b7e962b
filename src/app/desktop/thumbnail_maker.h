#pragma once

#include <QImage>
#include <QObject>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "recognition/recognition.h"

namespace marlin::desktop {

// Small pictures of a recording's cameras at a position, for the slider's
// hover card and the event list: each is the refresh picture the picture at
// that position builds on (one picture to decode), decoded on a worker of
// its own. Only the newest request is worked on; older ones still waiting
// are dropped, so a fast-moving pointer never queues work up. Pictures
// made are kept for the next time.
class ThumbnailMaker : public QObject {
  Q_OBJECT

 public:
  static constexpr int kWidth = 160;  // of one camera's picture

  // A camera's picture at (or first after) a position.
  struct Shot {
    int camera = 0;
    std::uint64_t position = 0;
  };

  explicit ThumbnailMaker(QObject* parent = nullptr);
  ~ThumbnailMaker() override;

  void open(const std::string& path, const RecordingReading& reading);
  void close();

  // Asks for the shots' pictures, side by side; ready() says when they are
  // there. Returns the request's number.
  std::uint64_t request(std::vector<Shot> shots);
  // The pictures when they were made before, else a null image.
  QImage cached(const std::vector<Shot>& shots) const;

 signals:
  // The pictures of a request; null when none of its cameras has one there.
  void ready(quint64 request, const QImage& picture);

 private:
  struct Request {
    std::uint64_t number = 0;
    std::vector<Shot> shots;
  };
  using Key = std::pair<std::uint64_t, int>;  // position, camera

  void work();
  QImage make(const Request& request);
  QImage cachedLocked(const std::vector<Shot>& shots) const;
  void keep(const Key& key, const QImage& picture);

  std::thread worker_;
  mutable std::mutex lock_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::string path_;
  RecordingReading reading_;
  std::uint64_t recording_ = 0;  // which open() the work is for
  std::optional<Request> pending_;
  std::uint64_t lastNumber_ = 0;
  std::map<Key, QImage> kept_;
  std::list<Key> keptOrder_;  // oldest first
};

}  // namespace marlin::desktop
