#include "app/desktop/dialogs/plain_message_box.h"

#include <QAbstractButton>
#include <QIcon>
#include <QMessageBox>

namespace marlin::desktop {

void makePlain(QMessageBox& box) {
  box.setIcon(QMessageBox::NoIcon);
  for (QAbstractButton* button : box.buttons()) button->setIcon(QIcon());
}

namespace {

int runPlain(QMessageBox& box) {
  makePlain(box);
  return box.exec();
}

}  // namespace

void showPlainMessage(QWidget* parent, const QString& title, const QString& text, const QString& details) {
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
  box.setInformativeText(details);
  runPlain(box);
}

bool askYesOrNo(QWidget* parent, const QString& title, const QString& question, DefaultAnswer answer,
                const QString& explanation) {
  QMessageBox box(QMessageBox::NoIcon, title, question, QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(answer == DefaultAnswer::Yes ? QMessageBox::Yes : QMessageBox::No);
  box.setInformativeText(explanation);
  return runPlain(box) == QMessageBox::Yes;
}

}  // namespace marlin::desktop
