#include "app/desktop/skin/heat_strip.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "app/desktop/activity_tracker.h"
#include "app/desktop/skin/palette.h"
#include "app/desktop/skin/skin_slider.h"

namespace marlin::desktop {

namespace {

constexpr int kSliderUnit = 4096;  // bytes per step of the position slider
constexpr int kRowHeight = 4;
constexpr int kMergedRowHeight = 6;

}  // namespace

HeatStrip::HeatStrip(const ActivityTracker& tracker, const SkinSlider& axis, QWidget* parent)
    : QWidget(parent), tracker_(tracker), axis_(axis) {
  setObjectName(QStringLiteral("heatStrip"));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setToolTip(QString());
}

void HeatStrip::setCameras(std::vector<int> cameras, bool merged) {
  if (cameras == cameras_ && merged == merged_) {
    return;
  }
  cameras_ = std::move(cameras);
  merged_ = merged;
  draw();
}

void HeatStrip::setRecordingSize(std::uint64_t size) {
  size_ = size;
  draw();
}

void HeatStrip::refresh() { draw(); }

void HeatStrip::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  draw();
}

double HeatStrip::levelAt(int row, int x) const {
  if (row < 0 || row >= rowCount() || x < 0 || x >= static_cast<int>(levels_[row].size())) {
    return 0.0;
  }
  return levels_[row][static_cast<std::size_t>(x)];
}

void HeatStrip::draw() {
  levels_.clear();
  picture_ = QImage();
  if (tracker_.ready() && size_ > 0 && width() > 0 && !cameras_.empty()) {
    const activity::ActivityIndex& index = tracker_.index();
    const std::size_t rows = merged_ ? 1 : cameras_.size();
    levels_.assign(rows, std::vector<float>(static_cast<std::size_t>(width()), 0.0f));
    for (std::size_t i = 0; i < cameras_.size(); ++i) {
      const activity::ChannelActivity& channel = index.channels[static_cast<std::size_t>(cameras_[i])];
      std::vector<float>& row = levels_[merged_ ? 0 : i];
      const std::optional<activity::RegionCells> region = activity::regionCells(tracker_.region(), channel);
      // A second covers the slider from its first picture to the next
      // second's, so that the strip has no holes between seconds.
      const auto xOf = [this](std::uint64_t position) {
        return static_cast<int>(axis_.xOf(static_cast<double>(position) / kSliderUnit));
      };
      for (std::size_t at = 0; at < channel.seconds.size(); ++at) {
        const activity::SecondActivity& second = channel.seconds[at];
        if (second.level == 0 || second.firstPosition >= size_) {
          continue;
        }
        const float level = static_cast<float>(activity::secondLevel(second, region));
        const int from = std::max(0, xOf(second.firstPosition));
        const int to = at + 1 < channel.seconds.size() ? xOf(channel.seconds[at + 1].firstPosition) : from + 1;
        for (int x = from; x < std::min(std::max(to, from + 1), width()); ++x) {
          float& column = row[static_cast<std::size_t>(x)];
          column = std::max(column, level);
        }
      }
    }
    // Below what counts as activity a column stays clear, so noise does not
    // tint the whole strip; above it the colour rises quickly to full.
    const double threshold = activity::activeLevel(tracker_.query().sensitivity);
    const int rowHeight = merged_ ? kMergedRowHeight : std::max(1, std::min(kRowHeight, height() / int(rows)));
    picture_ = QImage(width(), height(), QImage::Format_ARGB32_Premultiplied);
    picture_.fill(Qt::transparent);
    QPainter painter(&picture_);
    const int top = height() - rowHeight * static_cast<int>(rows);
    for (std::size_t r = 0; r < rows; ++r) {
      for (int x = 0; x < width(); ++x) {
        const double level = levels_[r][static_cast<std::size_t>(x)];
        if (level < threshold) {
          continue;
        }
        const double strength = std::min(1.0, 0.35 + std::sqrt((level - threshold) / (1.0 - threshold + 1e-9)));
        QColor colour =
            QColor::fromHslF(skin::kAccent.hslHueF(), skin::kAccent.hslSaturationF(), 0.30 + 0.45 * strength);
        painter.fillRect(x, top + static_cast<int>(r) * rowHeight, 1, rowHeight - (rows > 1 && rowHeight >= 3 ? 1 : 0),
                         colour);
      }
    }
  }
  update();
}

void HeatStrip::paintEvent(QPaintEvent*) {
  if (picture_.isNull()) {
    return;
  }
  QPainter painter(this);
  painter.drawImage(0, 0, picture_);
}

}  // namespace marlin::desktop
