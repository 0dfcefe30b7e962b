#include "app/desktop/dialogs/dialog_frame.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/desktop/skin/palette.h"

namespace marlin::desktop {

QVBoxLayout* makeDialogColumn(QDialog& dialog) {
  auto* column = new QVBoxLayout(&dialog);
  column->setContentsMargins(skin::kDialogMargin, skin::kDialogMargin, skin::kDialogMargin, skin::kDialogMargin);
  column->setSizeConstraint(QLayout::SetFixedSize);
  return column;
}

QCheckBox* makeCheckBox(const QString& text, const char* name, bool checked, QWidget* parent) {
  auto* box = new QCheckBox(text, parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setChecked(checked);
  return box;
}

QCheckBox* makeFastDrawingBox(bool checked, QWidget* parent) {
  QCheckBox* box = makeCheckBox(QStringLiteral("Fast drawing"), "fastPath", checked, parent);
  box->setToolTip(QStringLiteral("Draws pictures in the screen's own pixel format instead of through a 24-bit copy"));
  return box;
}

QLineEdit* makeTimeField(const char* name, QWidget* parent) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(QString::fromLatin1(name));
  field->setInputMask(QStringLiteral("0000-00-00 00:00:00;_"));
  // The whole time stays in view: the skin's padding and frame, and room
  // for the cursor.
  field->setMinimumWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")) + 24);
  return field;
}

QSpinBox* makeNumberField(const char* name, int minimum, int maximum, int value, QWidget* parent) {
  auto* field = new QSpinBox(parent);
  field->setObjectName(QString::fromLatin1(name));
  field->setRange(minimum, maximum);
  field->setValue(value);
  // Ports and time-outs are typed, not stepped through.
  field->setButtonSymbols(QAbstractSpinBox::NoButtons);
  return field;
}

void addButtonRow(QBoxLayout& column, QDialog& dialog, const QString& primary, const QString& secondary) {
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  if (!secondary.isEmpty()) {
    auto* button = new QPushButton(secondary, &dialog);
    button->setObjectName(QStringLiteral("secondaryButton"));
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, &dialog, &QDialog::reject);
    row->addWidget(button);
  }
  auto* button = new QPushButton(primary, &dialog);
  button->setObjectName(QStringLiteral("primaryButton"));
  button->setDefault(true);
  QObject::connect(button, &QPushButton::clicked, &dialog, &QDialog::accept);
  row->addWidget(button);
  column.addSpacing(skin::kDialogMargin / 2);
  column.addLayout(row);
}

void withoutIcons(QDialogButtonBox& buttons) {
  for (QAbstractButton* button : buttons.buttons()) button->setIcon(QIcon());
}

}  // namespace marlin::desktop
