#include "app/desktop/skin/palette.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleFactory>

namespace marlin::desktop {

namespace {

// Fusion with the primary button of every dialog and message box on the
// right, where the skin's own dialogs put it, and without the fallback
// pictures (a red cross on Cancel) that clash with the dark skin.
class SkinStyle final : public QProxyStyle {
 public:
  SkinStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returned) const override {
    if (hint == SH_DialogButtonLayout) {
      return QDialogButtonBox::GnomeLayout;
    }
    if (hint == SH_DialogButtonBox_ButtonsHaveIcons) {
      return 0;
    }
    return QProxyStyle::styleHint(hint, option, widget, returned);
  }
};

QString styleSheet() {
  return QStringLiteral(R"(
QDialog { background: #15171C; }
QLineEdit, QSpinBox, QComboBox, QListWidget, QPlainTextEdit {
  background: #1E2128; color: #E6E9EE; border: 1px solid #2A2E36; border-radius: 4px;
  padding: 3px 6px; selection-background-color: #2F81F7;
}
QLineEdit:focus, QSpinBox:focus, QComboBox:focus, QListWidget:focus { border: 1px solid #2F81F7; }
QLineEdit:disabled, QSpinBox:disabled, QComboBox:disabled { color: #6B717C; }
QPushButton {
  background: #232730; color: #E6E9EE; border: 1px solid #2F343E; border-radius: 5px;
  padding: 5px 14px; min-width: 64px;
}
QPushButton:hover { background: #2A2F38; }
QPushButton:pressed { background: #2F81F7; }
QPushButton:default { background: #2F81F7; border-color: #2F81F7; color: #FFFFFF; }
QPushButton:default:hover { background: #4A93F8; }
QPushButton:focus { border: 1px solid #8AB8FA; }
QPushButton:disabled { color: #5E646E; background: #1C1F25; border-color: #24272E; }
QCheckBox, QRadioButton, QLabel, QGroupBox { color: #E6E9EE; }
QCheckBox::indicator, QRadioButton::indicator {
  width: 14px; height: 14px; border: 1px solid #6B717C; background: #1E2128; border-radius: 3px;
}
QRadioButton::indicator { border-radius: 8px; }
QCheckBox::indicator:hover, QRadioButton::indicator:hover { border-color: #8AB8FA; }
QCheckBox::indicator:checked { background: #2F81F7; border-color: #2F81F7; image: url(:/icons/select.svg); }
QRadioButton::indicator:checked {
  border: 1px solid #2F81F7;
  background: qradialgradient(cx: 0.5, cy: 0.5, radius: 0.5, fx: 0.5, fy: 0.5,
                              stop: 0 #FFFFFF, stop: 0.35 #FFFFFF, stop: 0.45 #2F81F7, stop: 1 #2F81F7);
}
QCheckBox::indicator:disabled, QRadioButton::indicator:disabled { border-color: #3A3F49; background: #1A1C21; }
QCheckBox:disabled, QRadioButton:disabled, QLabel:disabled { color: #6B717C; }
QGroupBox { border: 1px solid #2A2E36; border-radius: 6px; margin-top: 10px; padding-top: 6px; }
QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 4px; color: #9AA1AC; }
QProgressBar {
  background: #1E2128; border: 1px solid #2A2E36; border-radius: 4px; color: #E6E9EE; text-align: center;
  min-height: 16px;
}
QProgressBar::chunk { background: #2F81F7; border-radius: 3px; }
QMenu { background: #1B1E24; color: #E6E9EE; border: 1px solid #2A2E36; padding: 4px; }
QMenu::item { padding: 5px 24px 5px 24px; border-radius: 4px; }
QMenu::item:selected { background: #2F81F7; color: #FFFFFF; }
QMenu::item:disabled { color: #5E646E; }
QMenu::separator { height: 1px; background: #2A2E36; margin: 4px 8px; }
QToolTip { background: #23262D; color: #E6E9EE; border: 1px solid #3A3F49; padding: 3px 6px; }
)");
}

}  // namespace

void applySkin(QApplication& app) {
  app.setStyle(new SkinStyle);
  QPalette palette;
  palette.setColor(QPalette::Window, skin::kWindow);
  palette.setColor(QPalette::WindowText, skin::kText);
  palette.setColor(QPalette::Base, skin::kField);
  palette.setColor(QPalette::AlternateBase, skin::kWindow);
  palette.setColor(QPalette::Text, skin::kText);
  palette.setColor(QPalette::Button, QColor(0x23, 0x27, 0x30));
  palette.setColor(QPalette::ButtonText, skin::kText);
  palette.setColor(QPalette::Highlight, skin::kAccent);
  palette.setColor(QPalette::HighlightedText, Qt::white);
  palette.setColor(QPalette::ToolTipBase, QColor(0x23, 0x26, 0x2D));
  palette.setColor(QPalette::ToolTipText, skin::kText);
  palette.setColor(QPalette::PlaceholderText, skin::kMutedText);
  palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x6B, 0x71, 0x7C));
  palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x6B, 0x71, 0x7C));
  palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x5E, 0x64, 0x6E));
  app.setPalette(palette);
  app.setStyleSheet(styleSheet());
}

}  // namespace marlin::desktop
