#include <QApplication>

#include "app/desktop/skin/palette.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  marlin::desktop::applySkin(app);
  return 0;
}
