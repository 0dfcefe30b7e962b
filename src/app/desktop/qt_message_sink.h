#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <string_view>

#include "platform/message_sink.h"

namespace marlin::desktop {

// The engine's and the window's messages as message boxes over the window.
// A box is opened without a nested event loop, so the timers, the video and
// the engine go on while it is up; messages from other threads are handed
// to the window's thread first.
class QtMessageSink final : public MessageSink {
 public:
  void setParent(QWidget* parent) { parent_ = parent; }
  void showMessage(std::string_view text, std::string_view caption) override;

  // Tests watch the messages instead of clicking boxes away.
  void setObserver(std::function<void(const QString& text)> observer) { observer_ = std::move(observer); }
  // Hears every box shown, with its title (the --events lines).
  void setShownListener(std::function<void(const QString& title, const QString& text)> listener) {
    shownListener_ = std::move(listener);
  }

 private:
  void show(const QString& text, const QString& caption);

  QPointer<QWidget> parent_;
  std::function<void(const QString&)> observer_;
  std::function<void(const QString&, const QString&)> shownListener_;
};

// The title every box of the program carries.
QString productTitle();

}  // namespace marlin::desktop
