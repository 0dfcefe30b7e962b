#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/desktop/command_line.h"
#include "app/desktop/main_window.h"
#include "app/desktop/skin/palette.h"
#include "platform/output_file.h"

namespace {

// The package's version first, as the tools of a system give theirs; then the
// product's, as the About box shows it.
constexpr const char* kVersionText = "marlin-viewer " MARLIN_VERSION " (Marlin Viewer 2.74)\n";

// --help and --version answer without a display.
int answerWithoutWindow(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(marlin::desktop::viewerUsage().c_str(), stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::fputs(kVersionText, stdout);
      return 0;
    }
  }
  return -1;
}

int signalPipe[2] = {-1, -1};

void noteSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

// Ctrl-C and SIGTERM close the window the way its close button does, so
// that captures and recordings are finished and the settings kept.
void closeOnSignals(QWidget& window) {
  if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    return;
  }
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &window);
  QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
    char drained[16];
    while (::read(signalPipe[0], drained, sizeof drained) > 0) {
    }
    window.close();
  });
  struct sigaction action {};
  action.sa_handler = noteSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

// The window with the dialogs and menus open over it, as a user sees it.
QPixmap windowPicture(QWidget& window) {
  QPixmap picture = window.grab();
  QPainter painter(&picture);
  for (QWidget* other : QApplication::topLevelWidgets()) {
    if (other != &window && other->isVisible() && other->isWindow()) {
      painter.drawPixmap(other->geometry().topLeft() - window.geometry().topLeft(), other->grab());
    }
  }
  return picture;
}

// Written as every output is (openOutputFile): never over the recording shown, never into a FIFO. The format follows
// the name's suffix.
marlin::Status saveScreenshot(const QPixmap& picture, const std::string& path) {
  int fd = -1;
  if (marlin::Status opened =
          marlin::openOutputFile(path, marlin::OutputOpening::Replace, marlin::BlockDeviceOutput::Refused, fd);
      !opened) {
    return opened;
  }
  QFile file;
  if (!file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return marlin::Status::failure(marlin::StatusCode::IoError, "cannot write " + path);
  }
  const QByteArray format = QFileInfo(QString::fromStdString(path)).suffix().toLatin1();
  if (!picture.save(&file, format.constData())) {
    return marlin::Status::failure(marlin::StatusCode::IoError,
                                   "cannot write " + path + " as a picture of its suffix's format");
  }
  return marlin::Status::ok();
}

}  // namespace

int main(int argc, char** argv) {
  if (const int answered = answerWithoutWindow(argc, argv); answered >= 0) {
    return answered;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("marlin-viewer"));
  QApplication::setApplicationDisplayName(QStringLiteral("Marlin Viewer"));
  QApplication::setDesktopFileName(QStringLiteral("marlin-viewer"));
  // Qt has taken its own options (-platform, -geometry ...) out by now.
  std::vector<std::string> arguments;
  for (const QString& argument : QApplication::arguments().mid(1)) {
    arguments.push_back(argument.toStdString());
  }
  marlin::desktop::MainWindow::Setup setup;
  setup.commandLine = marlin::desktop::parseViewerCommandLine(arguments);
  if (!setup.commandLine.error.empty()) {
    std::fprintf(stderr, "marlin-viewer: %s\nTry marlin-viewer --help.\n", setup.commandLine.error.c_str());
    return 2;
  }
  setup.settingsPath = marlin::desktop::settingsFilePath();
  if (setup.commandLine.events) {
    setup.events = stdout;
  }
  marlin::desktop::applySkin(app);
  const marlin::desktop::ViewerCommandLine line = setup.commandLine;
  marlin::desktop::MainWindow window(std::move(setup));
  if (line.windowWidth > 0) {
    window.resize(line.windowWidth, line.windowHeight);
    if (const QScreen* screen = window.screen()) {
      QRect frame = window.geometry();
      frame.moveCenter(screen->availableGeometry().center());
      window.move(frame.topLeft());
    }
  }
  closeOnSignals(window);
  window.show();
  // Keyboard shortcuts need the window active, also where no window manager
  // gives it the focus.
  window.activateWindow();
  int status = 0;
  if (!line.screenshotPath.empty()) {
    QTimer::singleShot(static_cast<int>(line.screenshotAfterSeconds * 1000), &window, [&] {
      if (const marlin::Status saved = saveScreenshot(windowPicture(window), line.screenshotPath); !saved) {
        std::fprintf(stderr, "marlin-viewer: %s\n", saved.message().c_str());
        status = 1;
      }
      window.close();
      // Also ends the loop of a dialog that is open.
      QApplication::exit(status);
    });
  }
  const int loop = QApplication::exec();
  return status != 0 ? status : loop;
}
