#include <QDateTimeEdit>
#include <QFileInfo>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include "app/desktop/dialogs/go_to_time_dialog.h"
#include "platform/block_file.h"
#include "platform/time_zone.h"
#include "source/container.h"
#include "source/local_time.h"
#include "source/time_search.h"

using namespace marlin;
using namespace marlin::desktop;

namespace {

constexpr CodecVariant kSampleVariant = kVariantQkt2;

std::uint32_t sampleStart() {
  BlockFile file;
  if (!file.open(MARLIN_SAMPLE_RECORDING)) qFatal("cannot open the sample");
  TimeSearchResult found;
  if (!findBlockAtTime(file, BlockLayout{}, 0, found) || found.match != TimeMatch::BeforeOldest) {
    qFatal("the sample has no start time");
  }
  return found.blockTime;
}

CalendarTime local(std::uint32_t blockTime) { return calendarFromTimestamp(blockTime, timeZoneBiasSeconds()); }

}  // namespace

class GoToTimeDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void aTimeInTheRecordingGivesTheBlockRecordedThen() {
    const std::uint32_t start = sampleStart();
    GoToTimeDialog dialog(MARLIN_SAMPLE_RECORDING, false, kSampleVariant, local(start + 3));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Go to time"));
    auto* time = dialog.findChild<QDateTimeEdit*>(QStringLiteral("time"));
    QCOMPARE(time->text(), QString::fromStdString(localTimeText(start + 3)));
    dialog.show();
    dialog.accept();
    QTRY_COMPARE_WITH_TIMEOUT(dialog.result(), static_cast<int>(QDialog::Accepted), 10000);
    QVERIFY(dialog.position() > 0);
    QCOMPARE(dialog.position() % container::kBlockSize, std::uint64_t{0});
    QVERIFY(dialog.position() < static_cast<std::uint64_t>(QFileInfo(MARLIN_SAMPLE_RECORDING).size()));

    GoToTimeDialog first(MARLIN_SAMPLE_RECORDING, false, kSampleVariant, local(start));
    first.show();
    first.accept();
    QTRY_COMPARE_WITH_TIMEOUT(first.result(), static_cast<int>(QDialog::Accepted), 10000);
    QVERIFY(first.position() < dialog.position());
  }

  void timesOutsideTheRecordingAreRefusedNamingItsEnds() {
    const std::uint32_t start = sampleStart();
    GoToTimeDialog dialog(MARLIN_SAMPLE_RECORDING, false, kSampleVariant, local(start - 86400 * 365));
    dialog.show();
    QSignalSpy refused(&dialog, &GoToTimeDialog::refused);
    dialog.accept();
    QVERIFY(refused.wait(10000));
    QVERIFY(dialog.isVisible());
    const QString message = dialog.findChild<QLabel*>(QStringLiteral("message"))->text();
    QCOMPARE(message, QString::fromStdString(localTimeText(start - 86400 * 365) +
                                             " is before the recording, which starts at " + localTimeText(start)));

    dialog.findChild<QDateTimeEdit*>(QStringLiteral("time"))
        ->setDateTime(QDateTime::fromString(QString::fromStdString(localTimeText(start + 3600)),
                                            QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    dialog.accept();
    QVERIFY(refused.wait(10000));
    QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("message"))
                ->text()
                .contains(QStringLiteral(" is after the recording, which ends at ")));
    QVERIFY(dialog.isVisible());
  }

  void aZeroShownTimeStartsAtTheTimeNow() {
    GoToTimeDialog dialog(MARLIN_SAMPLE_RECORDING, false, kSampleVariant, CalendarTime{});
    const QDateTime shown = dialog.findChild<QDateTimeEdit*>(QStringLiteral("time"))->dateTime();
    QVERIFY(qAbs(shown.secsTo(QDateTime::currentDateTime())) < 60);
  }
};

QTEST_MAIN(GoToTimeDialogTest)
#include "go_to_time_dialog_test.moc"
