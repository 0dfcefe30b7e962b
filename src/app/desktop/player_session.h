#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

#include "app/desktop/export_kind.h"

class QWidget;

namespace marlin {
class PlayerEngine;
}

namespace marlin::desktop {

class BackgroundTask;
class QtMessageSink;
struct WindowPrompts;

// Player mode's recording: opening a file or a disk and closing it, the
// recent files, Mark In and Mark Out and the copy of the marked range, the
// jump to a typed time and the export of whole cameras. It owns the
// recording's path, the marks and the range copy.
class PlayerSession : public QObject {
  Q_OBJECT

 public:
  PlayerSession(PlayerEngine& engine, const WindowPrompts& prompts, QtMessageSink& messages, BackgroundTask& task,
                QWidget* window);

  std::uint64_t markIn() const { return markIn_; }
  std::uint64_t markOut() const { return markOut_; }
  const std::vector<std::string>& recentFiles() const { return recentFiles_; }
  void setRecentFiles(std::vector<std::string> files);

 public slots:
  void openFile();
  void openDisk();
  // Opens a recording as the Open File command does with a chosen file.
  bool openRecording(const QString& path);
  void closeFile();
  void markInHere();
  void markOutHere();
  void copyMarkedRange();
  void goToTime();
  void showExport();
  // The Export dialog with "Evidence folder" ticked, for the marked range.
  void showEvidenceExport();
  // The export dialog for one camera's span of block times [from, to] (an
  // activity event's).
  void showExportOf(int camera, std::uint32_t from, std::uint32_t to, ExportKind kind);

 signals:
  // A recording was opened (or an attempt made: opened false) or closed
  // (path empty); title is the name the window shows.
  void sourceChanged(const QString& title, const QString& path, bool opened);
  void recentFilesChanged();
  // What an action did, for the status line.
  void confirmed(const QString& text);
  // What the window is busy with, for its status strip.
  void working(const QString& status, const QString& detail);

 private:
  bool openSource(const QString& path, bool isDisk);
  QString shownTime() const;

  PlayerEngine& engine_;
  const WindowPrompts& prompts_;
  QtMessageSink& messages_;
  BackgroundTask& task_;
  QWidget* window_;
  std::vector<std::string> recentFiles_;
  std::uint64_t markIn_ = 0;
  std::uint64_t markOut_ = 0;
  std::string sourcePath_;
  bool sourceIsDisk_ = false;
};

}  // namespace marlin::desktop
