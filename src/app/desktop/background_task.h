#pragma once

#include <QFuture>
#include <QFutureWatcher>
#include <QObject>
#include <QtConcurrent/QtConcurrentRun>
#include <type_traits>
#include <utility>

namespace marlin::desktop {

// Runs one piece of slow work at a time (waking a disk, looking up a host,
// copying a range) on Qt's thread pool, so the window keeps painting. While
// it runs the window is busy; its result is handed over on the window's
// thread; once the window closes, work still running is waited for and its
// result dropped.
class BackgroundTask : public QObject {
  Q_OBJECT

 public:
  explicit BackgroundTask(QObject* parent = nullptr) : QObject(parent) {}
  ~BackgroundTask() override { finish(); }

  bool busy() const { return busy_; }

  template <typename Work, typename Done>
  void run(Work work, Done done) {
    using Result = decltype(work());
    setBusy(true);
    auto* watcher = new QFutureWatcher<Result>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, done = std::move(done)]() mutable {
      watcher->deleteLater();
      running_ = QFuture<void>();
      setBusy(false);
      if (closed_) {
        return;
      }
      if constexpr (std::is_void_v<Result>) {
        done();
      } else {
        done(watcher->result());
      }
    });
    const QFuture<Result> future = QtConcurrent::run(std::move(work));
    running_ = QFuture<void>(future);
    watcher->setFuture(future);
  }

  // Waits for the work that runs and drops its result: the window closes.
  void finish() {
    closed_ = true;
    running_.waitForFinished();
  }

 signals:
  void busyChanged(bool busy);

 private:
  void setBusy(bool busy) {
    busy_ = busy;
    emit busyChanged(busy);
  }

  QFuture<void> running_;
  bool busy_ = false;
  bool closed_ = false;
};

}  // namespace marlin::desktop
