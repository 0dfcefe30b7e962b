#include "app/desktop/qt_message_sink.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include "app/desktop/dialogs/plain_message_box.h"

namespace marlin::desktop {

QString productTitle() { return QStringLiteral("Marlin Viewer 2.74"); }

void QtMessageSink::showMessage(std::string_view text, std::string_view caption) {
  const QString message = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  const QString title =
      caption.empty() ? productTitle() : QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
  if (QThread::currentThread() == qApp->thread()) {
    show(message, title);
    return;
  }
  QMetaObject::invokeMethod(
      qApp, [this, message, title] { show(message, title); }, Qt::QueuedConnection);
}

void QtMessageSink::show(const QString& text, const QString& caption) {
  if (shownListener_) {
    shownListener_(caption, text);
  }
  if (observer_) {
    observer_(text);
    return;
  }
  auto* box = new QMessageBox(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent_.data());
  makePlain(*box);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setObjectName(QStringLiteral("messageBox"));
  box->open();
}

}  // namespace marlin::desktop
