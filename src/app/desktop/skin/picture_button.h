#pragma once

#include <QAbstractButton>
#include <QString>

namespace marlin::desktop {

// A flat button of the skin: a line icon, optionally a short text, and the
// states a pointer and keyboard user expect: hover, pressed, checked (an
// accent outline, or accent fill for segments), disabled (dimmed), focus.
class PictureButton : public QAbstractButton {
  Q_OBJECT

 public:
  enum class Style { Icon, Segment, Text };

  PictureButton(int commandId, const QString& iconName, const QString& toolTip, QWidget* parent = nullptr);

  int commandId() const { return commandId_; }
  void setIconName(const QString& name);
  QString iconName() const { return iconName_; }
  void setStyle(Style style) {
    style_ = style;
    update();
  }
  // Close buttons turn red under the pointer, as people expect of them.
  void setDanger(bool danger) { danger_ = danger; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  int commandId_;
  QString iconName_;
  Style style_ = Style::Icon;
  bool hovered_ = false;
  // Only focus reached with the keyboard is drawn: a ring after a click or
  // at start-up is noise.
  bool keyboardFocus_ = false;
  bool danger_ = false;
};

}  // namespace marlin::desktop
