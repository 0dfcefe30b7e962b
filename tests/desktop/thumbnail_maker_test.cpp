// The slider's pictures: made on a worker from the recording, the newest
// request answered and older waiting ones dropped, kept for the next time,
// and nothing of a recording that has since closed.
#include "app/desktop/thumbnail_maker.h"

#include <QSignalSpy>
#include <QTest>
#include <filesystem>

using namespace marlin;
using namespace marlin::desktop;

namespace {

constexpr int kPatience = 20000;
const RecordingReading kReading{BlockByteOrder::File, 4};

}  // namespace

class ThumbnailMakerTest : public QObject {
  Q_OBJECT

 private slots:
  void theNewestRequestIsAnsweredAndItsPicturesKept() {
    ThumbnailMaker maker;
    maker.open(MARLIN_SAMPLE_RECORDING, kReading);
    QSignalSpy ready(&maker, &ThumbnailMaker::ready);
    // A pointer sweeping over the slider, to the middle of the recording.
    const std::uint64_t step = std::filesystem::file_size(MARLIN_SAMPLE_RECORDING) / 80;
    std::uint64_t last = 0;
    for (std::uint64_t i = 0; i < 40; ++i) {
      last = maker.request({{0, i * step}, {1, i * step}});
    }
    QTRY_VERIFY_WITH_TIMEOUT(!ready.isEmpty() && ready.last().at(0).toULongLong() == last, kPatience);
    QVERIFY(ready.size() < 40);
    for (int i = 1; i < ready.size(); ++i) {
      QVERIFY(ready.at(i).at(0).toULongLong() > ready.at(i - 1).at(0).toULongLong());
    }
    const QImage picture = ready.last().at(1).value<QImage>();
    // Two cameras side by side, each at the picture's shape, each its own.
    QCOMPARE(picture.width(), 2 * ThumbnailMaker::kWidth);
    QVERIFY(picture.height() > ThumbnailMaker::kWidth / 2);
    QVERIFY(picture.copy(0, 0, ThumbnailMaker::kWidth, picture.height()) !=
            picture.copy(ThumbnailMaker::kWidth, 0, ThumbnailMaker::kWidth, picture.height()));
    const std::uint64_t lastPosition = 39 * step;
    QCOMPARE(maker.cached({{0, lastPosition}, {1, lastPosition}}), picture);
  }

  void aClosedRecordingsPicturesAreNeitherDeliveredNorKept() {
    ThumbnailMaker maker;
    maker.open(MARLIN_SAMPLE_RECORDING, kReading);
    QSignalSpy ready(&maker, &ThumbnailMaker::ready);
    const std::uint64_t before = maker.request({{0, 0}});
    maker.close();
    const std::uint64_t after = maker.request({{0, 0}});
    QTRY_VERIFY_WITH_TIMEOUT(!ready.isEmpty() && ready.last().at(0).toULongLong() == after, kPatience);
    for (const QList<QVariant>& answer : ready) {
      QVERIFY(answer.at(0).toULongLong() != before);
    }
    QVERIFY(ready.last().at(1).value<QImage>().isNull());
    QVERIFY(maker.cached({{0, 0}}).isNull());
  }
};

QTEST_MAIN(ThumbnailMakerTest)
#include "thumbnail_maker_test.moc"
