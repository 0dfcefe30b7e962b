#include "app/desktop/window_observer.h"

namespace marlin::desktop {

WindowObserver::WindowObserver(QObject* window, LiveObserver* forward, std::function<void(net::ClientNotice)> onNotice)
    : window_(window), forward_(forward), onNotice_(std::move(onNotice)) {}

void WindowObserver::pictureShown(int channel, const CalendarTime& blockTime, int width, int height,
                                  std::uint64_t position) {
  if (forward_ != nullptr) {
    forward_->pictureShown(channel, blockTime, width, height, position);
  }
}

void WindowObserver::stateChanged(PlaybackState state, double speed) {
  if (forward_ != nullptr) {
    forward_->stateChanged(state, speed);
  }
}

void WindowObserver::audioPlayed(std::uint32_t bytes) {
  if (forward_ != nullptr) {
    forward_->audioPlayed(bytes);
  }
}

void WindowObserver::connectionStateChanged(net::ConnectionState state) {
  if (forward_ != nullptr) {
    forward_->connectionStateChanged(state);
  }
}

void WindowObserver::notice(net::ClientNotice notice) {
  if (forward_ != nullptr) {
    forward_->notice(notice);
  }
  if (window_ != nullptr) {
    QMetaObject::invokeMethod(
        window_, [handler = onNotice_, notice] { handler(notice); }, Qt::QueuedConnection);
  }
}

}  // namespace marlin::desktop
