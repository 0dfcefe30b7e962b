#include "app/desktop/command_line.h"

#include <charconv>
#include <cstdlib>
#include <optional>
#include <tuple>
#include <utility>

namespace marlin::desktop {

namespace {

// The recorder's values were kept in 32-character buffers.
constexpr std::size_t kLongestValue = 31;
constexpr std::size_t kLongestTail = 1023;
// Beyond this the window system refuses the window or the back canvas would take gigabytes.
constexpr int kLargestWindowSide = 16384;

// "WIDTHxHEIGHT" with both sides from 1 to kLargestWindowSide.
std::optional<std::pair<int, int>> windowSize(const std::string& text) {
  int width = 0;
  int height = 0;
  const char* end = text.data() + text.size();
  const auto [afterWidth, widthError] = std::from_chars(text.data(), end, width);
  if (widthError != std::errc() || afterWidth == end || *afterWidth != 'x') {
    return std::nullopt;
  }
  const auto [afterHeight, heightError] = std::from_chars(afterWidth + 1, end, height);
  if (heightError != std::errc() || afterHeight != end) {
    return std::nullopt;
  }
  const auto fits = [](int side) { return side >= 1 && side <= kLargestWindowSide; };
  if (!fits(width) || !fits(height)) {
    return std::nullopt;
  }
  return std::pair{width, height};
}

std::string withoutQuotes(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c != '"') {
      out += c;
    }
  }
  return out;
}

// The value of a "/IP:" or "/PORT:" marker: up to the next blank.
std::string markerValue(const std::string& text) {
  const std::string value = text.substr(0, text.find_first_of(" \t"));
  return value.substr(0, kLongestValue);
}

bool takesValue(const std::string& option) {
  return option == "--ip" || option == "--port" || option == "--screenshot" || option == "--after" ||
         option == "--size";
}

}  // namespace

ViewerCommandLine parseViewerCommandLine(const std::vector<std::string>& arguments) {
  ViewerCommandLine line;
  std::string tail;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    std::string value;
    const auto equals = argument.find('=');
    const std::string option = argument.rfind("--", 0) == 0 ? argument.substr(0, equals) : argument;
    if (takesValue(option)) {
      if (equals != std::string::npos) {
        value = argument.substr(equals + 1);
      } else if (i + 1 < arguments.size()) {
        value = arguments[++i];
      } else {
        line.error = option + " needs a value";
        return line;
      }
    }
    if (option == "--help" || option == "-h") {
      line.help = true;
    } else if (option == "--version") {
      line.version = true;
    } else if (option == "--events") {
      line.events = true;
    } else if (option == "--ip") {
      line.ip = markerValue(value);
    } else if (option == "--port") {
      line.port = markerValue(value);
    } else if (option == "--screenshot") {
      line.screenshotPath = value;
    } else if (option == "--after") {
      char* end = nullptr;
      line.screenshotAfterSeconds = std::strtod(value.c_str(), &end);
      if (end == value.c_str() || *end != '\0' || !(line.screenshotAfterSeconds >= 0.0) ||
          line.screenshotAfterSeconds > 86400.0) {
        line.error = "--after needs a number of seconds, not \"" + value + "\"";
        return line;
      }
    } else if (option == "--size") {
      const std::optional<std::pair<int, int>> size = windowSize(value);
      if (!size) {
        line.error = "--size needs WIDTHxHEIGHT, each from 1 to " + std::to_string(kLargestWindowSide) +
                     " pixels, not \"" + value + "\"";
        return line;
      }
      std::tie(line.windowWidth, line.windowHeight) = *size;
    } else if (argument.rfind("/IP:", 0) == 0) {
      if (line.ip.empty()) {
        line.ip = markerValue(argument.substr(4));
      }
    } else if (argument.rfind("/PORT:", 0) == 0) {
      if (line.port.empty()) {
        line.port = markerValue(argument.substr(6));
      }
    } else if (argument.rfind("--", 0) == 0 && argument.size() > 2) {
      line.error = "unknown option " + argument;
      return line;
    } else {
      tail += tail.empty() ? argument : " " + argument;
    }
  }
  line.recordingPath = withoutQuotes(tail).substr(0, kLongestTail);
  return line;
}

std::string viewerUsage() {
  return "Usage: marlin-viewer [RECORDING.QKV] [/IP:ADDRESS /PORT:PORT] [options]\n"
         "\n"
         "Plays the recordings of a DVR and shows its live channels.\n"
         "\n"
         "  RECORDING.QKV        open this recording at start\n"
         "  /IP:ADDRESS /PORT:N  connect to the DVR at ADDRESS, port N, at start\n"
         "  --ip ADDRESS         the same as /IP:ADDRESS\n"
         "  --port N             the same as /PORT:N\n"
         "  --events             print what plays as JSON lines on standard output\n"
         "  --screenshot OUT.png save a picture of the whole window and quit\n"
         "  --after S            ... S seconds after start (default 0)\n"
         "  --size WxH           the window's size, such as 1280x896 (each side 1 to " +
         std::to_string(kLargestWindowSide) +
         ")\n"
         "  --help               show this help and quit\n"
         "  --version            show the version and quit\n";
}

}  // namespace marlin::desktop
