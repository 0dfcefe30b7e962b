#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "app/desktop/dialogs/compression_dialog.h"
#include "app/desktop/dialogs/export_dialog.h"
#include "app/desktop/dialogs/export_preview_view.h"
#include "export/compression_choice.h"
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

QPushButton* okButton(QDialog* dialog) {
  return dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
}

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

}  // namespace

class ExportDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void offersTheChannelsTheRecordingHas() {
    QTemporaryDir dir;
    const QString nine = dir.filePath(QStringLiteral("nine.QKV"));
    QProcess maker;
    maker.start(QString::fromLocal8Bit(qgetenv("MARLIN_CLI")),
                {QStringLiteral("make-sample"), nine, QStringLiteral("--channels"), QStringLiteral("9"),
                 QStringLiteral("--seconds"), QStringLiteral("1")});
    QVERIFY(maker.waitForFinished(30000) && maker.exitCode() == 0);
    for (const auto& [path, shown] : {std::pair{nine, 9}, std::pair{QStringLiteral(MARLIN_SAMPLE_RECORDING), 4}}) {
      ExportDialog dialog(path.toStdString());
      dialog.show();
      for (int channel = 1; channel <= 16; ++channel) {
        const QString name = QStringLiteral("channel%1").arg(channel);
        QCOMPARE(child<QCheckBox>(&dialog, name.toLatin1().constData())->isVisible(), channel <= shown);
      }
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
};

QTEST_MAIN(ExportDialogTest)
#include "export_dialog_test.moc"
