#include "engine/event_lines.h"

#include <algorithm>
#include <cinttypes>
#include <cstdarg>

#include "engine/json_text.h"

namespace marlin {

namespace {

__attribute__((format(printf, 1, 2))) std::string formatted(const char* format, ...) {
  char line[256];
  std::va_list arguments;
  va_start(arguments, format);
  const int length = std::vsnprintf(line, sizeof line, format, arguments);
  va_end(arguments);
  return std::string(line, static_cast<std::size_t>(std::max(0, std::min<int>(length, sizeof line - 1))));
}

}  // namespace

std::string pictureEventLine(int channel, const CalendarTime& time, int width, int height, std::uint64_t position) {
  return formatted(
      "{\"event\":\"picture\",\"channel\":%d,\"time\":\"%s\",\"width\":%d,\"height\":%d,"
      "\"position\":%" PRIu64 "}\n",
      channel, formatCalendarTime(time).c_str(), width, height, position);
}

std::string livePictureEventLine(int channel, const CalendarTime& time, int width, int height) {
  return formatted("{\"event\":\"picture\",\"channel\":%d,\"time\":\"%s\",\"width\":%d,\"height\":%d}\n", channel,
                   formatCalendarTime(time).c_str(), width, height);
}

std::string stateEventLine(PlaybackState state, double speed) {
  return formatted("{\"event\":\"state\",\"state\":\"%s\",\"speed\":%g}\n", playbackStateWord(state), speed);
}

std::string connectionEventLine(net::ConnectionState state) {
  return formatted("{\"event\":\"connection\",\"state\":\"%s\"}\n", net::connectionStateName(state));
}

// The error is any text the connection met, so it is not cut to a buffer.
std::string noticeEventLine(net::ClientNotice notice, const std::string& error) {
  return std::string("{\"event\":\"notice\",\"notice\":\"") + net::clientNoticeName(notice) +
         "\",\"error\":" + jsonString(error) + "}\n";
}

std::string audioEventLine(std::uint32_t bytes) { return formatted("{\"event\":\"audio\",\"bytes\":%u}\n", bytes); }

std::string messageEventLine(const std::string& title, const std::string& text) {
  return "{\"event\":\"message\",\"title\":" + jsonString(title) + ",\"text\":" + jsonString(text) + "}\n";
}

std::string statusEventLine(const std::string& text) {
  return "{\"event\":\"status\",\"text\":" + jsonString(text) + "}\n";
}

const char* playbackStateWord(PlaybackState state) {
  switch (state) {
    case PlaybackState::Idle:
      return "idle";
    case PlaybackState::Forward:
      return "forward";
    case PlaybackState::Reverse:
      return "reverse";
    case PlaybackState::StepForward:
      return "step-forward";
    case PlaybackState::StepBackward:
      return "step-backward";
    case PlaybackState::Paused:
      return "paused";
    case PlaybackState::Jump:
      return "jump";
  }
  return "unknown";
}

EventLinePrinter::EventLinePrinter(const net::DvrClient& client, std::FILE* out) : client_(client), out_(out) {}

void EventLinePrinter::pictureShown(int channel, const CalendarTime& blockTime, int width, int height,
                                    std::uint64_t position) {
  print(position == 0 ? livePictureEventLine(channel, blockTime, width, height)
                      : pictureEventLine(channel, blockTime, width, height, position));
}

void EventLinePrinter::stateChanged(PlaybackState state, double speed) { print(stateEventLine(state, speed)); }

void EventLinePrinter::audioPlayed(std::uint32_t bytes) { print(audioEventLine(bytes)); }

void EventLinePrinter::connectionStateChanged(net::ConnectionState state) { print(connectionEventLine(state)); }

void EventLinePrinter::notice(net::ClientNotice notice) { print(noticeEventLine(notice, client_.lastError())); }

void EventLinePrinter::print(const std::string& line) {
  const std::lock_guard guard(lock_);
  std::fputs(line.c_str(), out_);
  std::fflush(out_);
}

}  // namespace marlin
