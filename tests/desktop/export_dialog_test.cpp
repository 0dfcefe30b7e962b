#include "app/desktop/dialogs/export_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <limits>

#include "app/desktop/dialogs/compression_dialog.h"
#include "app/desktop/dialogs/export_preview_view.h"
#include "engine/evidence_check.h"
#include "export/compression_choice.h"
#include "platform/block_file.h"
#include "source/local_time.h"
#include "source/time_search.h"
#include "top_level_window.h"

using namespace marlin;
using namespace marlin::desktop;

namespace {

template <typename W>
W* child(QObject* parent, const char* name) {
  W* found = parent->findChild<W*>(QString::fromLatin1(name));
  if (found == nullptr) qFatal("no child %s", name);
  return found;
}

QPushButton* okButton(QDialog* dialog) { return dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok); }

bool selectCodec(CompressionDialog* chooser, VideoCodec codec) {
  auto* codecs = child<QTreeWidget>(chooser, "codecs");
  for (int row = 0; row < codecs->topLevelItemCount(); ++row) {
    if (codecs->topLevelItem(row)->text(0) == codecDisplayName(codec)) {
      codecs->setCurrentItem(codecs->topLevelItem(row));
      return true;
    }
  }
  return false;
}

// Clicks the message box that shows next and keeps its texts.
struct ShownMessage {
  QString text;
  QString details;
  void expect() {
    whenShown<QMessageBox>([this](QMessageBox* box) {
      text = box->text();
      details = box->informativeText();
      box->button(QMessageBox::Ok)->click();
    });
  }
};

bool makeSample(const QString& path, int channels) {
  QProcess maker;
  maker.start(QString::fromLocal8Bit(qgetenv("MARLIN_CLI")),
              {QStringLiteral("make-sample"), path, QStringLiteral("--channels"), QString::number(channels),
               QStringLiteral("--seconds"), QStringLiteral("1")});
  return maker.waitForFinished(30000) && maker.exitCode() == 0;
}

std::uint32_t sampleTime(std::uint32_t sought) {
  BlockFile file;
  TimeSearchResult found;
  if (!file.open(MARLIN_SAMPLE_RECORDING) || !findBlockAtTime(file, BlockLayout{}, sought, found)) {
    qFatal("cannot search the sample");
  }
  return found.blockTime;
}

}  // namespace

class ExportDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void ticksEveryChannelTheRecordingHas() {
    QTemporaryDir dir;
    std::vector<std::pair<QString, int>> recordings{{QStringLiteral(MARLIN_SAMPLE_RECORDING), 4}};
    for (int channels : {9, 16}) {
      const QString path = dir.filePath(QStringLiteral("cameras%1.QKV").arg(channels));
      QVERIFY(makeSample(path, channels));
      recordings.emplace_back(path, channels);
    }
    for (const auto& [path, shown] : recordings) {
      ExportDialog dialog(path.toStdString());
      dialog.show();
      for (int channel = 1; channel <= 16; ++channel) {
        auto* box = child<QCheckBox>(&dialog, QStringLiteral("channel%1").arg(channel).toLatin1().constData());
        QCOMPARE(box->isVisible(), channel <= shown);
        QCOMPARE(box->isChecked(), channel <= shown);
      }
    }
  }

  void offersTheMarkedRangeOnlyWhenOneIsMarked() {
    ExportDialog unmarked(MARLIN_SAMPLE_RECORDING);
    unmarked.offerMarkedRange(4096, 4096);
    QVERIFY(!child<QRadioButton>(&unmarked, "markedRange")->isEnabled());
    QVERIFY(child<QRadioButton>(&unmarked, "wholeRange")->isChecked());

    ExportDialog marked(MARLIN_SAMPLE_RECORDING);
    marked.offerMarkedRange(0, 1 << 20);
    QVERIFY(child<QRadioButton>(&marked, "markedRange")->isEnabled());
    QVERIFY(child<QRadioButton>(&marked, "markedRange")->isChecked());
  }

  // An activity event's export: its camera alone and its span, which the
  // recording's own times shown later do not replace.
  void anEventsCameraAndSpanAreChosen() {
    const std::uint32_t from = sampleTime(0) + 2;
    ExportDialog dialog(MARLIN_SAMPLE_RECORDING);
    QSignalSpy shown(&dialog, &ExportDialog::recordingShown);
    dialog.offerCameraSpan(2, from, from + 5);
    dialog.show();
    QVERIFY(shown.wait(10000));
    QVERIFY(child<QRadioButton>(&dialog, "timeRange")->isChecked());
    QCOMPARE(child<QLineEdit>(&dialog, "rangeFrom")->text(), QString::fromStdString(localTimeText(from)));
    QCOMPARE(child<QLineEdit>(&dialog, "rangeTo")->text(), QString::fromStdString(localTimeText(from + 5)));
    for (int channel = 1; channel <= 4; ++channel) {
      QCOMPARE(child<QCheckBox>(&dialog, QStringLiteral("channel%1").arg(channel).toLatin1().constData())->isChecked(),
               channel == 3);
    }
  }

  void aTypedTimeRangeOutsideTheRecordingIsRefused() {
    const std::string start = localTimeText(sampleTime(0));
    ExportDialog dialog(MARLIN_SAMPLE_RECORDING);
    QSignalSpy shown(&dialog, &ExportDialog::recordingShown);
    dialog.show();
    QVERIFY(shown.wait(10000));
    auto* from = child<QLineEdit>(&dialog, "rangeFrom");
    auto* to = child<QLineEdit>(&dialog, "rangeTo");
    QCOMPARE(from->text(), QString::fromStdString(start));
    QCOMPARE(to->text(), QString::fromStdString(localTimeText(sampleTime(std::numeric_limits<std::uint32_t>::max()))));
    // Both times are seen whole.
    for (const QLineEdit* field : {from, to}) {
      QVERIFY(field->contentsRect().width() > field->fontMetrics().horizontalAdvance(field->text()));
    }

    // Typing a time chooses the time range; one cut short is refused in the box.
    QTest::keyClick(from, Qt::Key_End);
    QTest::keyClick(from, Qt::Key_Backspace);
    QVERIFY(child<QRadioButton>(&dialog, "timeRange")->isChecked());
    child<QLineEdit>(&dialog, "outputPath")->setText(QDir::temp().filePath(QStringLiteral("never.AVI")));
    okButton(&dialog)->setEnabled(true);
    okButton(&dialog)->click();
    QCOMPARE(child<QLabel>(&dialog, "rangeError")->text(), QStringLiteral("Type both times as YYYY-MM-DD HH:MM:SS"));
    QVERIFY(okButton(&dialog)->isEnabled());

    const std::string yearBefore = localTimeText(sampleTime(0) - 86400 * 365);
    QTest::keyClick(from, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(from, QString::fromStdString(yearBefore));
    ShownMessage refusal;
    refusal.expect();
    okButton(&dialog)->click();
    QTRY_VERIFY_WITH_TIMEOUT(!refusal.text.isEmpty(), 30000);
    QCOMPARE(refusal.text, QString::fromStdString(yearBefore + " is before the recording, which starts at " + start));
    QVERIFY(child<QLabel>(&dialog, "rangeError")->text().isEmpty());
    QVERIFY(dialog.isVisible());
  }

  void outputBrowsingStartsInTheChosenFolder() {
    QTemporaryDir dir;
    ExportDialog dialog(MARLIN_SAMPLE_RECORDING);
    dialog.show();
    for (const auto& [output, folder] :
         {std::pair{QString(), QFileInfo(QStringLiteral(MARLIN_SAMPLE_RECORDING)).absolutePath()},
          std::pair{dir.filePath(QStringLiteral("OUT.AVI")), QFileInfo(dir.path()).absoluteFilePath()}}) {
      child<QLineEdit>(&dialog, "outputPath")->setText(output);
      QString started;
      whenShown<QFileDialog>([&started](QFileDialog* files) {
        started = files->directory().absolutePath();
        files->reject();
      });
      child<QPushButton>(&dialog, "browseOutput")->click();
      QCOMPARE(started, folder);
      QCOMPARE(child<QLineEdit>(&dialog, "outputPath")->text(), output);
    }
  }

  void buttonsShowTextWithoutStandInPictures() {
    ExportDialog dialog(MARLIN_SAMPLE_RECORDING);
    for (const QAbstractButton* button : dialog.findChild<QDialogButtonBox*>()->buttons()) {
      QVERIFY2(button->icon().isNull(), qPrintable(button->text()));
    }
    CompressionDialog chooser(Compression::uncompressedDefault());
    for (const QAbstractButton* button : chooser.findChild<QDialogButtonBox*>()->buttons()) {
      QVERIFY2(button->icon().isNull(), qPrintable(button->text()));
    }
  }

  void chooserOffersOnlyTheSettingsACodecUses() {
    const std::vector<VideoCodec> offered = offeredVideoCodecs();
    QVERIFY(!offered.empty());
    QCOMPARE(offered.front(), VideoCodec::Uncompressed);
    if (std::find(offered.begin(), offered.end(), VideoCodec::Mjpeg) == offered.end() ||
        std::find(offered.begin(), offered.end(), VideoCodec::Ffv1) == offered.end()) {
      QSKIP("this FFmpeg build writes neither MJPEG nor FFV1");
    }
    const Compression mjpeg{VideoCodec::Mjpeg, 12, 4000, 0};
    CompressionDialog chooser(mjpeg);
    QCOMPARE(child<QTreeWidget>(&chooser, "codecs")->topLevelItemCount(), static_cast<int>(offered.size()));
    QCOMPARE(chooser.chosen(), mjpeg);
    QVERIFY(child<QSlider>(&chooser, "quality")->isEnabled());

    child<QCheckBox>(&chooser, "defaultQuality")->setChecked(true);
    QCOMPARE(chooser.chosen().quality, -1);

    QVERIFY(selectCodec(&chooser, VideoCodec::Ffv1));
    QVERIFY(!child<QSlider>(&chooser, "quality")->isEnabled());
    QVERIFY(child<QSpinBox>(&chooser, "keyFrameInterval")->isEnabled());
    QCOMPARE(chooser.chosen(), (Compression{VideoCodec::Ffv1, 12, -1, 0}));

    QVERIFY(selectCodec(&chooser, VideoCodec::Uncompressed));
    QVERIFY(!child<QSpinBox>(&chooser, "keyFrameInterval")->isEnabled());

    // Coming from uncompressed frames, the interval starts at a second's worth rather than every frame.
    CompressionDialog fresh(Compression::uncompressedDefault());
    QVERIFY(selectCodec(&fresh, VideoCodec::Ffv1));
    QCOMPARE(fresh.chosen().keyFrameInterval, 30);
    QCOMPARE(chooser.chosen(), Compression::uncompressedDefault());
  }

  void exportsOnlyTheTickedChannelAfterAFailedPreparation() {
    QTemporaryDir dir;
    const QString recording = dir.filePath(QStringLiteral("QKV-night.qkv"));
    QVERIFY(QFile::copy(QStringLiteral(MARLIN_SAMPLE_RECORDING), recording));

    ExportDialog dialog("");
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QPushButton* ok = okButton(&dialog);
    QVERIFY(!ok->isEnabled());
    for (int channel = 1; channel <= 4; ++channel) {
      QVERIFY(child<QCheckBox>(&dialog, QStringLiteral("channel%1").arg(channel).toLatin1())->isChecked());
    }
    QVERIFY(child<QCheckBox>(&dialog, "channel5")->isHidden());
    QVERIFY(child<QCheckBox>(&dialog, "audio")->isChecked());

    // Browsing for the input names the output after it.
    whenShown<QFileDialog>([&](QFileDialog* files) {
      // The file name field takes a selection only while it does not have the focus.
      if (QWidget* focused = files->focusWidget()) focused->clearFocus();
      files->selectFile(recording);
      QMetaObject::invokeMethod(files, "accept");
    });
    child<QPushButton>(&dialog, "browseInput")->click();
    QCOMPARE(child<QLineEdit>(&dialog, "inputPath")->text(), recording);
    QCOMPARE(child<QLineEdit>(&dialog, "outputPath")->text(), dir.filePath(QStringLiteral("AVI-night.AVI")));

    // A cancelled choice zeroes the process-wide one; OK still becomes available.
    whenShown<CompressionDialog>([](CompressionDialog* chooser) { chooser->reject(); });
    child<QPushButton>(&dialog, "selectCompression")->click();
    QCOMPARE(compression_choice::current(), Compression::zeroed());
    QVERIFY(ok->isEnabled());

    whenShown<CompressionDialog>([](CompressionDialog* chooser) {
      QVERIFY(selectCodec(chooser, VideoCodec::Uncompressed));
      chooser->accept();
    });
    child<QPushButton>(&dialog, "selectCompression")->click();
    QCOMPARE(compression_choice::current(), Compression::uncompressedDefault());
    QCOMPARE(child<QLineEdit>(&dialog, "compression")->text(), QStringLiteral("Full Frames (Uncompressed)"));

    for (int channel = 2; channel <= 4; ++channel) {
      child<QCheckBox>(&dialog, QStringLiteral("channel%1").arg(channel).toLatin1())->setChecked(false);
    }

    // A folder that does not exist fails the preparation: the reason is shown and the dialog can be used again.
    child<QLineEdit>(&dialog, "outputPath")->setText(dir.filePath(QStringLiteral("missing/OUT.AVI")));
    ShownMessage failure;
    failure.expect();
    ok->click();
    QVERIFY(!ok->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!failure.text.isEmpty(), 30000);
    QVERIFY2(failure.text.contains(QStringLiteral("missing")), qPrintable(failure.text));
    QVERIFY(dialog.isVisible());
    QVERIFY(ok->isEnabled());
    QVERIFY(child<QCheckBox>(&dialog, "channel1")->isEnabled());
    QVERIFY(child<QLineEdit>(&dialog, "outputPath")->isEnabled());
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("missing"))));

    const QString output = dir.filePath(QStringLiteral("OUT.AVI"));
    child<QLineEdit>(&dialog, "outputPath")->setText(output);
    auto* preview = child<ExportPreviewView>(&dialog, "preview");
    QSignalSpy pictures(preview, &ExportPreviewView::pictureShown);
    ShownMessage complete;
    complete.expect();
    ok->click();
    QTRY_VERIFY_WITH_TIMEOUT(child<QLabel>(&dialog, "status")->text().startsWith(QStringLiteral("Time left")), 30000);
    QVERIFY(!ok->isEnabled());
    QVERIFY(!child<QPushButton>(&dialog, "selectCompression")->isEnabled());
    QVERIFY(!child<QCheckBox>(&dialog, "audio")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!complete.text.isEmpty(), 120000);
    QCOMPARE(complete.text, QStringLiteral("Export Complete"));
    QVERIFY2(complete.details.startsWith(QStringLiteral("In ") + QFileInfo(dir.path()).absoluteFilePath() +
                                         QStringLiteral(":\nOUT-CH1.AVI   ")),
             qPrintable(complete.details));
    QVERIFY(!complete.details.contains(QStringLiteral("CH2")));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), static_cast<int>(QDialog::Accepted));
    QVERIFY(pictures.count() > 0);
    QCOMPARE(preview->picture().width(), 640);
    QCOMPARE(child<QLabel>(&dialog, "percent")->text(), QStringLiteral("100%"));

    QFile written(dir.filePath(QStringLiteral("OUT-CH1.AVI")));
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.size() > 1'000'000);
    const QByteArray header = written.read(12);
    QCOMPARE(header.left(4), QByteArray("RIFF"));
    QCOMPARE(header.mid(8, 4), QByteArray("AVI "));
    for (const char* other : {"OUT-CH2.AVI", "OUT-CH3.AVI", "OUT-CH4.AVI"}) {
      QVERIFY2(!QFile::exists(dir.filePath(QLatin1String(other))), other);
    }
  }

  // An event's camera and span, made into an evidence folder that the checker finds intact; the compression
  // choice is left for the next export.
  void anEventBecomesAnEvidenceFolder() {
    QTemporaryDir dir;
    ExportDialog dialog(MARLIN_SAMPLE_RECORDING);
    Compression chosen;
    chosen.codec = VideoCodec::Mjpeg;
    compression_choice::set(chosen);
    dialog.offerCameraSpan(2, sampleTime(0) + 2, sampleTime(0) + 4);
    dialog.chooseEvidence();
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Export Evidence"));
    QPushButton* ok = okButton(&dialog);
    QVERIFY(!ok->isEnabled());
    QVERIFY(!child<QPushButton>(&dialog, "selectCompression")->isEnabled());
    QVERIFY(child<QLineEdit>(&dialog, "signingKey")->isVisible());
    const QString folder = dir.filePath(QStringLiteral("case"));
    child<QLineEdit>(&dialog, "outputPath")->setText(folder);
    QVERIFY(ok->isEnabled());
    ShownMessage complete;
    complete.expect();
    ok->click();
    QTRY_VERIFY_WITH_TIMEOUT(!complete.text.isEmpty(), 120000);
    QCOMPARE(complete.text, QStringLiteral("Evidence Complete"));
    QVERIFY2(complete.details.contains(QStringLiteral("CH3.mp4")), qPrintable(complete.details));
    QVERIFY(!QFile::exists(folder + QStringLiteral("/CH1.mp4")));
    std::vector<EvidenceFinding> findings;
    QVERIFY(checkEvidenceFolder(folder.toStdString(), {}, findings).isOk());
    QCOMPARE(countProblems(findings), std::size_t{0});
    QCOMPARE(compression_choice::current(), chosen);
  }
};

QTEST_MAIN(ExportDialogTest)
#include "export_dialog_test.moc"
