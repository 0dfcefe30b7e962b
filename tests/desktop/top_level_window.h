#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

// Modal dialogs run their own event loop, so a test acts on them from a timer that polls for the window to show.

template <typename Window>
Window* visibleTopLevel() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* window = qobject_cast<Window*>(widget); window != nullptr && window->isVisible()) return window;
  }
  return nullptr;
}

// Calls act once on the first visible window of that type, whenever it shows.
template <typename Window>
void whenShown(std::function<void(Window*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(20);
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    if (Window* window = visibleTopLevel<Window>()) {
      timer->stop();
      timer->deleteLater();
      act(window);
    }
  });
  timer->start();
}
