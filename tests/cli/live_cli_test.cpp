// marlin live against marlin serve-dvr, both as users run them: the session
// from login to one logout, the local recording compared with what the DVR
// sent, the faults a network and a DVR produce, and the ways a session
// cannot start.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <regex>

#include "marlin_process.h"
#include "net/stream_parser.h"
#include "platform/tcp_socket.h"
#include "source/recording_writer.h"
#include "source/stream_source.h"

namespace marlin::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

std::vector<std::string> matching(const std::vector<std::string>& lines, const std::string& pattern) {
  const std::regex wanted(pattern);
  std::vector<std::string> found;
  std::copy_if(lines.begin(), lines.end(), std::back_inserter(found),
               [&](const std::string& line) { return std::regex_search(line, wanted); });
  return found;
}

// The pictures and sound packets of a live stream, in order.
struct StreamPieces final : net::StreamSink {
  std::vector<Bytes> pictures;
  std::vector<Bytes> sounds;
  void videoFrame(const std::uint8_t* data, std::size_t n) override { pictures.emplace_back(data, data + n); }
  void audioPacket(const std::uint8_t* data, std::size_t n) override { sounds.emplace_back(data, data + n); }
  void controlMessage(const std::uint8_t*, std::size_t) override {}
};

std::vector<Bytes> framesOf(const std::string& path, bool audio) {
  StreamSource source;
  source.setCodecVariant(4);
  EXPECT_TRUE(source.open(path, false).isOk()) << path;
  std::vector<Bytes> frames;
  Bytes buffer(container::kFrameBufferSize);
  while (const std::uint32_t n = source.readNext(buffer.data())) {
    if (source.header().isAudio == audio) {
      frames.emplace_back(buffer.begin(), buffer.begin() + n);
    }
  }
  return frames;
}

// The pictures the DVR sent, as the recording writer keeps them, read back:
// closed by a short sound packet, since a recording's last frame ends at a
// start code that never comes.
std::vector<Bytes> sentPicturesAsRecorded(const std::string& sentCopy, const std::string& path) {
  StreamPieces pieces;
  net::StreamParser parser(pieces);
  const Bytes sent = readFile(sentCopy);
  parser.feed(sent.data(), sent.size());
  RecordingWriter writer;
  writer.setFormat(kLiveStreamVariant, 4, 4);
  EXPECT_TRUE(writer.open(path).isOk());
  for (Bytes picture : pieces.pictures) {
    writer.writeVideo(picture.data(), picture.size());
  }
  const Bytes closing(2, 0);
  writer.writeAudio(closing.data(), closing.size());
  writer.close();
  return framesOf(path, false);
}

double childrenCpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class LiveCli : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(std::filesystem::exists(sample)) << sample; }

  std::unique_ptr<MarlinProcess> serve(const std::vector<std::string>& args) {
    return serveDvr(dir, sample, args, port);
  }
  Result live(std::vector<std::string> args) {
    args.insert(args.begin(), "live");
    RunOptions options;
    options.timeout = std::chrono::seconds(120);
    return runMarlin(dir, args, options);
  }

  std::string sample = MARLIN_SAMPLE_RECORDING;
  TempDir dir;
  std::uint16_t port = 0;
};

TEST_F(LiveCli, RecordsThePicturesTheDvrSentAndSendsKeysMouseAndOneLogout) {
  const std::string sent = dir.file("sent.bin");
  const std::string recording = dir.file("live.QKV");
  auto dvr = serve(
      {"--password", "pw", "--fps", "30", "--save-sent", sent, "--fault", "split", "--fault", "message-in-frame@0"});
  const Result r = live({"--host",       "127.0.0.1", "--port",     std::to_string(port),
                         "--password",   "pw",        "--seconds",  "3",
                         "--record",     recording,   "--no-audio", "--events",
                         "--key",        "132",       "--key",      "300",
                         "--mouse",      "1,10,20",   "--mouse",    "0,11,21",
                         "--mouse-mode", "2"});
  ASSERT_TRUE(r.exited && r.status == 0) << r;
  const std::vector<std::string> events = linesOf(r.out);
  const std::vector<std::string> states = matching(events, R"("event":"connection")");
  ASSERT_GE(states.size(), 3u) << r.out;
  EXPECT_NE(states[0].find("ConnectingDvr"), std::string::npos);
  EXPECT_NE(states[1].find("LoggingIn"), std::string::npos);
  EXPECT_NE(states[2].find("LoggedIn"), std::string::npos);
  const std::vector<std::string> pictures =
      matching(events, R"(^\{"event":"picture","channel":0,"time":"2008-01-01 10:00:00","width":640,"height":224\}$)");
  EXPECT_GE(pictures.size(), 30u) << "three seconds at 30 pictures a second";
  ASSERT_EQ(matching(events, R"("event":"summary","pictures":)" + std::to_string(pictures.size()) +
                                 R"(,"audio_packets":\d+,"video_dropped":0,"audio_dropped":0,"reconnects":0\})")
                .size(),
            1u)
      << events.back();

  const Result served = dvr->finish(SIGTERM);
  const std::vector<std::string> log = linesOf(served.out);
  EXPECT_EQ(matching(log, R"(\{"event":"login","ok":true\})").size(), 1u) << served;
  EXPECT_EQ(matching(log, R"(\{"event":"key","value":132\})").size(), 1u) << served;
  EXPECT_EQ(matching(log, R"(\{"event":"key","value":44\})").size(), 1u) << "300's low 8 bits\n" << served;
  // The two events recorded at once reach the DVR merged into one message
  // with the last of them, the DVR's cursor shown; when the sender's 250 ms
  // tick falls between the two recordings, the first goes out on its own.
  const std::vector<std::string> mouse = matching(log, R"("event":"mouse")");
  ASSERT_TRUE(mouse.size() == 1u || mouse.size() == 2u) << served;
  if (mouse.size() == 2u) {
    EXPECT_EQ(mouse[0], R"({"event":"mouse","state":257,"width":640,"height":448,"x":10,"y":20})");
  }
  EXPECT_EQ(mouse.back(), R"({"event":"mouse","state":256,"width":640,"height":448,"x":11,"y":21})");
  EXPECT_EQ(matching(log, R"(\{"event":"logout"\})").size(), 1u) << served;

  // Pictures split into pieces and with status messages inside them are
  // recorded as the DVR sent them; the last one shown may be held back.
  const std::vector<Bytes> recorded = framesOf(recording, false);
  const std::vector<Bytes> expected = sentPicturesAsRecorded(sent, dir.file("expected.QKV"));
  ASSERT_GE(recorded.size() + 2, pictures.size());
  ASSERT_LE(recorded.size(), expected.size());
  for (std::size_t i = 0; i < recorded.size(); ++i) {
    ASSERT_EQ(recorded[i], expected[i]) << "picture " << i;
  }
}

TEST_F(LiveCli, RecoversFromNetworkAndDvrFaultsWithoutSpinningOrANewLookup) {
  auto dvr = serve({"--fps", "5", "--loop", "--ddns-port", "0", "--name", "DVR1", "--fault", "garbage@0.5", "--fault",
                    "oversize-message@0.8", "--fault", "huge-frame@1.1", "--fault", "drop@1.5", "--fault", "stall@2"});
  const std::optional<std::string> ddns = dvr->readLine();
  ASSERT_TRUE(ddns && ddns->rfind("DDNS ", 0) == 0) << ddns.value_or("no DDNS line");
  const double cpuBefore = childrenCpuSeconds();
  const Result r = live({"--ddns", "127.0.0.1:" + ddns->substr(5), "--name", "DVR1", "--seconds", "9", "--timeout", "1",
                         "--no-audio", "--events"});
  const double cpuSeconds = childrenCpuSeconds() - cpuBefore;
  ASSERT_TRUE(r.exited && r.status == 0) << r;
  const std::vector<std::string> events = linesOf(r.out);

  // Dropped, then stalled: two logins after the first, one lookup in all.
  EXPECT_EQ(matching(events, R"("state":"QueryingDdns")").size(), 1u) << r.out;
  EXPECT_EQ(matching(events, R"("state":"LoggedIn")").size(), 3u) << r.out;
  EXPECT_EQ(matching(events, R"("event":"summary".*"reconnects":2\})").size(), 1u) << events.back();
  const auto lastLogin =
      std::find_if(events.rbegin(), events.rend(), [](const std::string& e) { return e.find("LoggedIn") != e.npos; });
  EXPECT_GE(std::count_if(events.rbegin(), lastLogin,
                          [](const std::string& e) { return e.find(R"("event":"picture")") != e.npos; }),
            5)
      << "pictures again after the last reconnect";
  // Decoding five small pictures a second costs little; a thread spinning
  // on a closed or flooded connection would cost a whole core.
  EXPECT_LT(cpuSeconds, 0.35 * 9) << cpuSeconds << " s of CPU";

  const Result served = dvr->finish(SIGTERM);
  EXPECT_EQ(matching(linesOf(served.out), R"("event":"ddns-query")").size(), 1u) << served;
}

TEST_F(LiveCli, WithoutReconnectingAStalledDvrEndsTheSession) {
  auto dvr = serve({"--fps", "5", "--loop", "--fault", "stall@1"});
  const auto started = std::chrono::steady_clock::now();
  const Result r = live({"--host", "127.0.0.1", "--port", std::to_string(port), "--seconds", "30", "--timeout", "1",
                         "--no-reconnect", "--no-audio", "--events"});
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20)) << "the session ended early";
  EXPECT_TRUE(r.exited && r.status == 1) << r;
  EXPECT_NE(r.err.find("disconnected by the DVR"), std::string::npos) << r;
  const std::vector<std::string> events = linesOf(r.out);
  EXPECT_EQ(matching(events, R"("state":"LoggedIn")").size(), 1u) << r.out;
  EXPECT_EQ(matching(events, R"(^\{"event":"notice","notice":"closed","error":"No response from server."\}$)").size(),
            1u)
      << r.out;
  EXPECT_EQ(matching(events, R"("event":"summary".*"reconnects":0\})").size(), 1u) << r.out;
  dvr->finish(SIGTERM);
}

TEST_F(LiveCli, SessionsThatCannotStartEndWithTheReason) {
  struct Case {
    std::vector<std::string> dvr;
    std::vector<std::string> client;
    int exitStatus;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {{"--password", "right"}, {"--password", "wrong"}, 2, "Incorrect password."},
      {{"--refuse", "1", "--login-wait", "300"}, {}, 2, "Too many client."},
      {{"--fault", "close-after-login"}, {}, 2, "LOGIN ERROR"},
      {{"--ddns-port", "0", "--name", "DVR1", "--fault", "ddns-bad-magic"}, {"--name", "DVR1"}, 2, "DDNS LOGIN ERROR"},
      {{"--ddns-port", "0", "--name", "DVR1", "--fault", "ddns-silent"},
       {"--name", "DVR1"},
       2,
       "No response from server."},
  };
  for (const Case& c : cases) {
    auto dvr = serve(c.dvr);
    std::vector<std::string> args = c.client;
    if (std::find(c.dvr.begin(), c.dvr.end(), "--ddns-port") != c.dvr.end()) {
      const std::optional<std::string> ddns = dvr->readLine();
      ASSERT_TRUE(ddns && ddns->rfind("DDNS ", 0) == 0);
      args.insert(args.end(), {"--ddns", "127.0.0.1:" + ddns->substr(5)});
    } else {
      args.insert(args.end(), {"--host", "127.0.0.1", "--port", std::to_string(port)});
    }
    args.insert(args.end(), {"--seconds", "30", "--timeout", "1", "--no-audio", "--events"});
    const Result r = live(args);
    EXPECT_TRUE(r.exited && r.status == c.exitStatus) << c.reason << "\n" << r;
    EXPECT_NE(r.err.find("login failed: " + c.reason), std::string::npos) << r;
    EXPECT_EQ(matching(linesOf(r.out), R"("notice":"login-failed","error":")" + c.reason).size(), 1u) << r;
    dvr->finish(SIGTERM);
  }

  // Nobody listening: the system's refusal ends the session at once, with its reason.
  TcpListener closed;
  ASSERT_TRUE(closed.listenOnLoopback(0));
  const std::string unused = std::to_string(closed.port());
  closed.close();
  const Result r = live({"--host", "127.0.0.1", "--port", unused, "--seconds", "30", "--timeout", "1", "--no-audio"});
  EXPECT_TRUE(r.exited && r.status == 1) << r;
  EXPECT_NE(r.err.find("no response from the DVR: cannot connect to 127.0.0.1:" + unused), std::string::npos) << r;
}

}  // namespace
}  // namespace marlin::testing
