#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

#include "engine/live_observer.h"

namespace marlin::desktop {

// Hears the engine and the DVR connection on their threads: passes every
// report on to an optional observer (the --events printer) as it comes, and
// hands the connection's notices to the window's thread.
class WindowObserver final : public LiveObserver {
 public:
  WindowObserver(QObject* window, LiveObserver* forward, std::function<void(net::ClientNotice)> onNotice);

  void pictureShown(int channel, const CalendarTime& blockTime, int width, int height, std::uint64_t position) override;
  void stateChanged(PlaybackState state, double speed) override;
  void audioPlayed(std::uint32_t bytes) override;
  void connectionStateChanged(net::ConnectionState state) override;
  void notice(net::ClientNotice notice) override;

 private:
  QPointer<QObject> window_;
  LiveObserver* forward_;
  std::function<void(net::ClientNotice)> onNotice_;
};

}  // namespace marlin::desktop
