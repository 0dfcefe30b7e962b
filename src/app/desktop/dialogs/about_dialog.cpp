#include "app/desktop/dialogs/about_dialog.h"

#include <QFile>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

#include "app/desktop/dialogs/dialog_frame.h"
#include "app/desktop/skin/palette.h"

namespace marlin::desktop {

namespace {

constexpr const char* kProduct = "Marlin Viewer 2.74";
constexpr const char* kVersion = "2.7.4.0";
constexpr const char* kLibraryVersion = "2.74";
constexpr const char* kIconResource = ":/icons/marlin-viewer.svg";
constexpr int kIconSize = 64;

QLabel* makeLine(const QString& text, const char* name, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setTextFormat(Qt::PlainText);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About Viewer"));
  auto* column = makeDialogColumn(*this);
  auto* row = new QHBoxLayout;
  row->setSpacing(skin::kDialogMargin + 4);

  if (QFile::exists(QString::fromLatin1(kIconResource))) {
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setPixmap(QIcon(QString::fromLatin1(kIconResource)).pixmap(kIconSize, kIconSize));
    row->addWidget(icon, 0, Qt::AlignTop);
  }

  auto* text = new QVBoxLayout;
  text->setSpacing(4);
  auto* product = makeLine(QString::fromLatin1(kProduct), "aboutProduct", this);
  QFont bigger = product->font();
  bigger.setBold(true);
  bigger.setPointSizeF(bigger.pointSizeF() * 1.35);
  product->setFont(bigger);
  product->setMinimumWidth(240);
  text->addWidget(product);
  text->addSpacing(4);
  const QString muted = QStringLiteral("color: %1;").arg(skin::kMutedText.name());
  for (auto* line :
       {makeLine(QStringLiteral("Version %1").arg(QString::fromLatin1(kVersion)), "aboutVersion", this),
        makeLine(QStringLiteral("Lib: %1").arg(QString::fromLatin1(kLibraryVersion)), "aboutLibrary", this)}) {
    line->setStyleSheet(muted);
    text->addWidget(line);
  }
  text->addStretch(1);
  row->addLayout(text);
  row->addSpacing(skin::kDialogMargin * 2);
  column->addLayout(row);
  column->addSpacing(skin::kDialogMargin);

  addButtonRow(*column, *this, QStringLiteral("OK"));
}

}  // namespace marlin::desktop
