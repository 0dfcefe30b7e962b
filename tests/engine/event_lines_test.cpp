// The JSON event lines every headless front end prints, and the printer that
// writes them from several threads at once.

#include "engine/event_lines.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace marlin::testing {
namespace {

const CalendarTime kNoon{2010, 1, 5, 1, 12, 0, 7, 0};

TEST(EventLines, EachEventHasItsExactLine) {
  EXPECT_EQ(pictureEventLine(3, kNoon, 640, 224, 123456789012ULL),
            "{\"event\":\"picture\",\"channel\":3,\"time\":\"2010-01-01 12:00:07\",\"width\":640,\"height\":224,"
            "\"position\":123456789012}\n");
  EXPECT_EQ(livePictureEventLine(0, kNoon, 704, 240),
            "{\"event\":\"picture\",\"channel\":0,\"time\":\"2010-01-01 12:00:07\",\"width\":704,\"height\":240}\n");
  EXPECT_EQ(stateEventLine(PlaybackState::StepBackward, 0.5),
            "{\"event\":\"state\",\"state\":\"step-backward\",\"speed\":0.5}\n");
  EXPECT_EQ(stateEventLine(PlaybackState::Forward, 65536),
            "{\"event\":\"state\",\"state\":\"forward\",\"speed\":65536}\n");
  EXPECT_EQ(connectionEventLine(net::ConnectionState::DdnsResolved),
            "{\"event\":\"connection\",\"state\":\"DdnsResolved\"}\n");
  EXPECT_EQ(audioEventLine(4000000000U), "{\"event\":\"audio\",\"bytes\":4000000000}\n");
}

TEST(EventLines, ANoticeCarriesItsErrorAsAJsonString) {
  EXPECT_EQ(noticeEventLine(net::ClientNotice::NoResponse, "No response from server."),
            "{\"event\":\"notice\",\"notice\":\"no-response\",\"error\":\"No response from server.\"}\n");
  const std::string long_(400, 'x');
  EXPECT_EQ(
      noticeEventLine(net::ClientNotice::LoginFailed, "say \"no\"\\\n" + long_),
      "{\"event\":\"notice\",\"notice\":\"login-failed\",\"error\":\"say \\\"no\\\"\\\\\\u000a" + long_ + "\"}\n");
}

TEST(EventLines, EveryStateHasItsOwnWord) {
  std::set<std::string> words;
  for (const PlaybackState state :
       {PlaybackState::Idle, PlaybackState::Forward, PlaybackState::Reverse, PlaybackState::StepForward,
        PlaybackState::StepBackward, PlaybackState::Paused, PlaybackState::Jump}) {
    words.insert(playbackStateWord(state));
  }
  EXPECT_EQ(words,
            (std::set<std::string>{"idle", "forward", "reverse", "step-forward", "step-backward", "paused", "jump"}));
}

TEST(EventLinePrinter, WritesWholeLinesFromManyThreadsAndTellsLivePicturesApart) {
  TempDir dir;
  const std::string path = dir.file("events.jsonl");
  std::FILE* out = std::fopen(path.c_str(), "w");
  ASSERT_NE(out, nullptr);
  net::DvrClient client;
  constexpr int kLinesPerThread = 500;
  {
    EventLinePrinter printer(client, out);
    std::vector<std::thread> threads;
    threads.emplace_back([&] {
      for (int i = 0; i < kLinesPerThread; ++i) printer.pictureShown(1, kNoon, 640, 224, 4096);
    });
    threads.emplace_back([&] {
      for (int i = 0; i < kLinesPerThread; ++i) printer.pictureShown(2, kNoon, 640, 224, 0);
    });
    threads.emplace_back([&] {
      for (int i = 0; i < kLinesPerThread; ++i) printer.notice(net::ClientNotice::Closed);
    });
    threads.emplace_back([&] {
      for (int i = 0; i < kLinesPerThread; ++i) {
        printer.stateChanged(PlaybackState::Paused, 1);
        printer.audioPlayed(960);
        printer.connectionStateChanged(net::ConnectionState::LoggedIn);
      }
    });
    for (std::thread& thread : threads) thread.join();
  }
  std::fclose(out);

  const std::vector<std::string> expected = {pictureEventLine(1, kNoon, 640, 224, 4096),
                                             livePictureEventLine(2, kNoon, 640, 224),
                                             noticeEventLine(net::ClientNotice::Closed, ""),
                                             stateEventLine(PlaybackState::Paused, 1),
                                             audioEventLine(960),
                                             connectionEventLine(net::ConnectionState::LoggedIn)};
  std::map<std::string, int> seen;
  const std::vector<std::uint8_t> bytes = readFile(path);
  std::istringstream lines(std::string(bytes.begin(), bytes.end()));
  std::string line;
  while (std::getline(lines, line)) {
    ++seen[line + "\n"];
  }
  ASSERT_EQ(seen.size(), expected.size());
  for (const std::string& wanted : expected) {
    EXPECT_EQ(seen[wanted], kLinesPerThread) << wanted;
  }
}

}  // namespace
}  // namespace marlin::testing
