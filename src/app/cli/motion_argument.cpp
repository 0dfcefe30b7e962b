#include "app/cli/motion_argument.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>

#include "app/cli/cli_support.h"

namespace marlin::cli {

namespace {

// The number all of text is, or nothing.
template <typename Number>
std::optional<Number> numberFrom(std::string_view text) {
  Number value{};
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && stop == end ? std::optional<Number>(value) : std::nullopt;
}

// The text before the first separator, which text then loses; all of it
// when there is none.
std::string_view takeUntil(std::string_view& text, char separator) {
  const std::size_t at = text.find(separator);
  const std::string_view taken = text.substr(0, at);
  text = at == std::string_view::npos ? std::string_view() : text.substr(at + 1);
  return taken;
}

// Where start + size ends, as far as an int reaches.
int endOf(int start, int size) {
  return static_cast<int>(std::clamp(std::int64_t{start} + size, std::int64_t{INT_MIN}, std::int64_t{INT_MAX}));
}

// "X,Y,W,H" as the rectangle it is.
std::optional<Rect> areaFrom(std::string_view text) {
  const auto x = numberFrom<int>(takeUntil(text, ','));
  const auto y = numberFrom<int>(takeUntil(text, ','));
  const auto width = numberFrom<int>(takeUntil(text, ','));
  const auto height = numberFrom<int>(text);
  if (!x || !y || !width || !height) {
    return std::nullopt;
  }
  return Rect{*x, *y, endOf(*x, *width), endOf(*y, *height)};
}

// The span as written, its channel still counted from 1; nothing when the
// text is not in the form.
std::optional<sample::MotionSpan> spanFrom(std::string_view text) {
  const std::size_t at = text.find('@');
  std::string_view times = text.substr(0, at);
  const auto channel = numberFrom<unsigned>(takeUntil(times, ':'));
  const auto start = numberFrom<double>(takeUntil(times, '-'));
  const auto end = numberFrom<double>(times);
  if (!channel || !start || !end || !std::isfinite(*start) || !std::isfinite(*end)) {
    return std::nullopt;
  }
  sample::MotionSpan span{*channel, *start, *end, std::nullopt};
  if (at != std::string_view::npos) {
    span.area = areaFrom(text.substr(at + 1));
    if (!span.area) {
      return std::nullopt;
    }
  }
  return span;
}

// Why the recording of options cannot show span, or nothing.
std::string problemWith(const sample::MotionSpan& span, const sample::SampleOptions& options) {
  if (span.channel < 1 || span.channel > options.channels) {
    return "the channel must be from 1 to " + std::to_string(options.channels);
  }
  if (!(span.endSeconds > span.startSeconds)) {
    return "the end must come after the start";
  }
  if (span.endSeconds > options.seconds) {
    return "it ends after the recording's " + std::to_string(options.seconds) + " seconds";
  }
  if (!span.area) {
    return {};
  }
  const Rect& area = *span.area;
  const std::string picture = std::to_string(sample::kSamplePictureWidth) + "x" + std::to_string(options.height);
  if (area.left < 0 || area.top < 0 || area.right > sample::kSamplePictureWidth || area.bottom > options.height) {
    return "the area is not inside the " + picture + " picture";
  }
  const std::string box = std::to_string(sample::kMotionBoxSize);
  if (area.width() < sample::kMotionBoxSize || area.height() < sample::kMotionBoxSize ||
      (area.width() == sample::kMotionBoxSize && area.height() == sample::kMotionBoxSize)) {
    return "the area must be at least " + box + "x" + box + " and larger one way, for the " + box + "x" + box +
           " box to move in it";
  }
  return {};
}

bool overlap(const sample::MotionSpan& a, const sample::MotionSpan& b) {
  return a.channel == b.channel && a.startSeconds < b.endSeconds && b.startSeconds < a.endSeconds;
}

}  // namespace

std::vector<sample::MotionSpan> parseMotionSpecs(const std::vector<std::string>& specs,
                                                 const sample::SampleOptions& options) {
  std::vector<sample::MotionSpan> spans;
  for (std::size_t i = 0; i < specs.size(); ++i) {
    const std::string given = "--motion " + specs[i];
    std::optional<sample::MotionSpan> span = spanFrom(specs[i]);
    if (!span) {
      throw CommandError(given + ": expected CH:START-END or CH:START-END@X,Y,W,H, e.g. 2:1.5-4@320,0,320,112",
                         kUsageExit);
    }
    if (const std::string problem = problemWith(*span, options); !problem.empty()) {
      throw CommandError(given + ": " + problem, kUsageExit);
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (overlap(*span, spans[j])) {
        throw CommandError(given + " overlaps --motion " + specs[j] + ": a channel's box follows one span at a time",
                           kUsageExit);
      }
    }
    spans.push_back(*span);
  }
  for (sample::MotionSpan& span : spans) {
    --span.channel;
  }
  return spans;
}

}  // namespace marlin::cli
