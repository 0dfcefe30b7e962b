#include "app/desktop/dialogs/go_to_time_dialog.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <limits>

#include "platform/block_file.h"
#include "platform/time_zone.h"
#include "source/container.h"
#include "source/local_time.h"
#include "source/time_search.h"

using namespace marlin;
using namespace marlin::desktop;

namespace {

constexpr CodecVariant kSampleVariant = kVariantQkt2;

TimeSearchResult searchSample(std::uint32_t time) {
  BlockFile file;
  if (!file.open(MARLIN_SAMPLE_RECORDING)) qFatal("cannot open the sample");
  TimeSearchResult found;
  if (!findBlockAtTime(file, BlockLayout{}, time, found)) qFatal("cannot search the sample");
  return found;
}

std::uint32_t sampleStart() { return searchSample(0).blockTime; }
std::uint32_t sampleEnd() { return searchSample(std::numeric_limits<std::uint32_t>::max()).blockTime; }

CalendarTime local(std::uint32_t blockTime) { return calendarFromTimestamp(blockTime, timeZoneBiasSeconds()); }

QLineEdit* timeField(GoToTimeDialog& dialog) { return dialog.findChild<QLineEdit*>(QStringLiteral("time")); }
QString messageOf(GoToTimeDialog& dialog) { return dialog.findChild<QLabel*>(QStringLiteral("message"))->text(); }

// Types the whole time over what the field holds, as a user who selects it all does.
void typeTime(GoToTimeDialog& dialog, std::uint32_t blockTime) {
  QTest::keyClick(timeField(dialog), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(timeField(dialog), QString::fromStdString(localTimeText(blockTime)));
}

}  // namespace

class GoToTimeDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void showsTheRecordingsFirstAndLastTime() {
    GoToTimeDialog dialog(MARLIN_SAMPLE_RECORDING, false, kSampleVariant, local(sampleStart()));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Go to time"));
    QCOMPARE(timeField(dialog)->text(), QString::fromStdString(localTimeText(sampleStart())));
    const QString expected =
        QString::fromStdString("Recording: " + localTimeText(sampleStart()) + " \u2013 " + localTimeText(sampleEnd()));
    QTRY_COMPARE_WITH_TIMEOUT(dialog.findChild<QLabel*>(QStringLiteral("span"))->text(), expected, 10000);
  }

  void typedSecondsAreTheTimeSought() {
    const std::uint32_t start = sampleStart();
    const TimeSearchResult wanted = searchSample(start + 5);
    QVERIFY(wanted.position != searchSample(start).position);

    GoToTimeDialog dialog(MARLIN_SAMPLE_RECORDING, false, kSampleVariant, local(start));
    dialog.show();
    QLineEdit* time = timeField(dialog);
    QTest::keyClick(time, Qt::Key_End);
    QTest::keyClick(time, Qt::Key_Backspace);
    QTest::keyClick(time, Qt::Key_Backspace);
    const QString seconds = QString::fromStdString(localTimeText(start + 5)).right(2);
    QTest::keyClicks(time, seconds);
    QCOMPARE(time->text(), QString::fromStdString(localTimeText(start + 5)));
    QTest::keyClick(time, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(dialog.result(), static_cast<int>(QDialog::Accepted), 10000);
    QCOMPARE(dialog.position(), wanted.position);
    QCOMPARE(dialog.position() % container::kBlockSize, std::uint64_t{0});
  }

  void aWholeTypedTimeIsTheTimeSought() {
    const std::uint32_t start = sampleStart();
    const TimeSearchResult wanted = searchSample(start + 7);
    QVERIFY(wanted.position < static_cast<std::uint64_t>(QFileInfo(MARLIN_SAMPLE_RECORDING).size()));

    GoToTimeDialog dialog(MARLIN_SAMPLE_RECORDING, false, kSampleVariant, local(start));
    dialog.show();
    typeTime(dialog, start + 7);
    QCOMPARE(timeField(dialog)->text(), QString::fromStdString(localTimeText(start + 7)));
    QTest::keyClick(timeField(dialog), Qt::Key_Enter);
    QTRY_COMPARE_WITH_TIMEOUT(dialog.result(), static_cast<int>(QDialog::Accepted), 10000);
    QCOMPARE(dialog.position(), wanted.position);
  }

  void typedTimesOutsideTheRecordingAreRefusedInTheDialog() {
    const std::uint32_t start = sampleStart();
    GoToTimeDialog dialog(MARLIN_SAMPLE_RECORDING, false, kSampleVariant, local(start));
    dialog.show();
    QSignalSpy refused(&dialog, &GoToTimeDialog::refused);

    typeTime(dialog, start - 86400 * 365);
    QTest::keyClick(timeField(dialog), Qt::Key_Return);
    QVERIFY(refused.wait(10000));
    QVERIFY(dialog.isVisible());
    QCOMPARE(messageOf(dialog),
             QString::fromStdString(localTimeText(start - 86400 * 365) + " is before the recording, which starts at " +
                                    localTimeText(start)));

    typeTime(dialog, sampleEnd() + 3600);
    QTest::keyClick(timeField(dialog), Qt::Key_Return);
    QVERIFY(refused.wait(10000));
    QVERIFY(dialog.isVisible());
    QCOMPARE(messageOf(dialog),
             QString::fromStdString(localTimeText(sampleEnd() + 3600) + " is after the recording, which ends at " +
                                    localTimeText(sampleEnd())));

    // A time cut short is not taken for another one.
    QTest::keyClick(timeField(dialog), Qt::Key_Backspace);
    QTest::keyClick(timeField(dialog), Qt::Key_Return);
    QCOMPARE(refused.count(), 3);
    QVERIFY(messageOf(dialog).endsWith(QStringLiteral(" is not a date and time: type it as YYYY-MM-DD HH:MM:SS")));
    QVERIFY(dialog.isVisible());
  }

  void aZeroShownTimeStartsAtTheTimeNow() {
    GoToTimeDialog dialog(MARLIN_SAMPLE_RECORDING, false, kSampleVariant, CalendarTime{});
    const QDateTime shown = QDateTime::fromString(timeField(dialog)->text(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    QVERIFY(shown.isValid());
    QVERIFY(qAbs(shown.secsTo(QDateTime::currentDateTime())) < 60);
  }
};

QTEST_MAIN(GoToTimeDialogTest)
#include "go_to_time_dialog_test.moc"
