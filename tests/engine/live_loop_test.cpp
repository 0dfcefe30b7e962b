#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <thread>

#include "engine/engine_rig.h"
#include "net/net_test_support.h"
#include "source/stream_source.h"
#include "support/fake_server.h"
#include "support/live_pictures.h"
#include "support/wait_until.h"

namespace marlin::testing {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

const auto controlMessage = net::testing::controlBytes;

Bytes soundPacket(std::uint8_t level, std::size_t samples) {
  Bytes packet = {0x00, 0x00, 0x01, 0xFA, 0x00, 0x00};  // start code and the two lead-in bytes
  packet.insert(packet.end(), samples, level);
  return packet;
}

struct LiveLog final : LiveObserver {
  void pictureShown(int, const CalendarTime& time, int width, int height, std::uint64_t) override {
    std::lock_guard guard(lock);
    times.push_back(time);
    sizes.emplace_back(width, height);
  }
  void audioPlayed(std::uint32_t) override { ++audioPlayedCount; }
  void connectionStateChanged(net::ConnectionState state) override {
    std::lock_guard guard(lock);
    states.push_back(state);
  }
  void notice(net::ClientNotice) override {}

  std::size_t pictures() const {
    std::lock_guard guard(lock);
    return times.size();
  }

  mutable std::mutex lock;
  std::vector<CalendarTime> times;
  std::vector<std::pair<int, int>> sizes;
  std::vector<net::ConnectionState> states;
  std::atomic<int> audioPlayedCount{0};
};

// The rig's engine in Client mode, reporting to log.
PlayerEngine& clientEngine(EngineRig& rig, LiveLog& log) {
  rig.engine.setMode(EngineMode::Client, -1);
  rig.engine.setLiveObserver(&log);
  return rig.engine;
}

std::vector<Bytes> framesOf(const std::string& path, bool audio) {
  StreamSource source;
  source.setCodecVariant(4);
  EXPECT_TRUE(source.open(path, false).isOk()) << path;
  std::vector<Bytes> frames;
  std::vector<std::uint8_t> buffer(container::kFrameBufferSize);
  while (const std::uint32_t n = source.readNext(buffer.data())) {
    if (source.header().isAudio == audio) {
      frames.emplace_back(buffer.begin(), buffer.begin() + n);
    }
  }
  return frames;
}

// A recording of the frames handed to the writer in order, closed by a short
// sound packet so that the reader delivers every one of them: a recording's
// last frame ends at a start code that never comes.
void writeRecording(const std::string& path, const std::vector<Bytes>& pictures, const std::vector<Bytes>& sounds) {
  RecordingWriter writer;
  writer.setFormat(kLiveStreamVariant, 4, 4);
  EXPECT_TRUE(writer.open(path).isOk());
  for (Bytes picture : pictures) {
    writer.writeVideo(picture.data(), picture.size());
  }
  for (const Bytes& sound : sounds) {
    writer.writeAudio(sound.data(), sound.size());
  }
  const Bytes closing(2, 0);
  writer.writeAudio(closing.data(), closing.size());
  writer.close();
}

// A DVR session from login to logout through the real client and live loop:
// pictures arrive with status messages in the middle of them and in pieces,
// are shown with the live time, and the local recording holds exactly the
// pictures sent and the sound packets the device took.
TEST(LiveLoop, ShowsAndRecordsWhatTheDvrSentAndTheDeviceTook) {
  const std::vector<Bytes> pictures = livePictures(12);
  const Bytes status = controlMessage("0020000800010002000300040005");
  FakeServer dvr([&](FakePeer& peer, int) {
    peer.read(44);
    peer.send(controlMessage("000C0003"));
    for (std::size_t i = 0; i < pictures.size(); ++i) {
      const Bytes& picture = pictures[i];
      // Every other picture carries a status report inside it.
      Bytes wire(picture.begin(), picture.begin() + static_cast<std::ptrdiff_t>(picture.size() / 2));
      if (i % 2 == 1) {
        wire.insert(wire.end(), status.begin(), status.end());
      }
      wire.insert(wire.end(), picture.begin() + static_cast<std::ptrdiff_t>(picture.size() / 2), picture.end());
      // A sound packet after each picture: 1000 samples, so the ring fills
      // after a few and the device, which plays nothing here, refuses more.
      const Bytes sound = soundPacket(static_cast<std::uint8_t>(100 + i), 1000);
      wire.insert(wire.end(), sound.begin(), sound.end());
      for (std::size_t at = 0; at < wire.size(); at += 1000) {
        peer.send(Bytes(wire.begin() + static_cast<std::ptrdiff_t>(at),
                        wire.begin() + static_cast<std::ptrdiff_t>(std::min(at + 1000, wire.size()))));
      }
    }
    // The last picture ends at the next picture's start code.
    peer.send({0x00, 0x00, 0x01, 0xF8});
    peer.holdUntilClosed();
  });

  EngineRig rig;
  LiveLog log;
  PlayerEngine& engine = clientEngine(rig, log);
  const std::string recording = rig.dir.file("live.QKV");
  ASSERT_EQ(engine.startRecording(recording), 1);
  ASSERT_EQ(engine.connect("127.0.0.1", dvr.port(), "secret"), 1);
  ASSERT_TRUE(waitUntil([&] { return log.pictures() == pictures.size(); })) << log.pictures() << " pictures";
  // Sound comes through a queue of its own, which the loop may reach after
  // the last picture.
  EXPECT_TRUE(waitUntil([&] { return log.audioPlayedCount > 0; }));
  EXPECT_TRUE(engine.isConnected());
  EXPECT_EQ(engine.client().statusWords(), (std::array<std::uint16_t, 5>{1, 2, 3, 4, 5}));
  EXPECT_EQ(engine.disconnect(), 1);
  EXPECT_FALSE(engine.isRecording()) << "the live loop closes the recording when it ends";

  EXPECT_EQ(log.times.front(), (CalendarTime{2008, 1, 0, 1, 10, 0, 0, 0}));
  EXPECT_EQ(log.sizes.back(), std::make_pair(640, 224));
  const int played = log.audioPlayedCount;
  EXPECT_GT(played, 0);
  EXPECT_LT(played, static_cast<int>(pictures.size())) << "the silent device never frees the ring";

  // The reader holds back whichever frame the live loop wrote last.
  std::vector<Bytes> playedSounds;
  for (int i = 0; i < played; ++i) {
    playedSounds.push_back(Bytes(1000, static_cast<std::uint8_t>(100 + i)));
  }
  const std::string expected = rig.dir.file("expected.QKV");
  writeRecording(expected, pictures, playedSounds);
  const std::vector<Bytes> expectedPictures = framesOf(expected, false);
  const std::vector<Bytes> recordedPictures = framesOf(recording, false);
  ASSERT_GE(recordedPictures.size() + 1, expectedPictures.size());
  ASSERT_LE(recordedPictures.size(), expectedPictures.size());
  EXPECT_TRUE(std::equal(recordedPictures.begin(), recordedPictures.end(), expectedPictures.begin()));
  const std::vector<Bytes> recordedSounds = framesOf(recording, true);
  const std::vector<Bytes> expectedSounds = framesOf(expected, true);
  ASSERT_GE(recordedSounds.size() + 1, playedSounds.size());
  ASSERT_LE(recordedSounds.size(), playedSounds.size()) << "a refused sound packet is not recorded";
  EXPECT_TRUE(std::equal(recordedSounds.begin(), recordedSounds.end(), expectedSounds.begin()));
  // The DVR's side reads the logout on its own thread.
  EXPECT_TRUE(waitUntil([&] { return dvr.received(0).size() >= 44u + 12u; }));
  EXPECT_EQ(dvr.received(0).size(), 44u + 12u) << "the login, then one logout";
}

// A capture taking every live picture, started once the first one sized it:
// each later picture is one frame, and each sound packet, played or refused,
// goes in whole with one more frame.
TEST(LiveLoop, CaptureWritesAFramePerPictureAndPerSoundPacket) {
  const std::vector<Bytes> pictures = livePictures(6);
  std::atomic<bool> captureStarted{false};
  FakeServer dvr([&](FakePeer& peer, int) {
    peer.read(44);
    peer.send(controlMessage("000C0003"));
    for (std::size_t i = 0; i < pictures.size(); ++i) {
      peer.send(pictures[i]);
      peer.send(soundPacket(static_cast<std::uint8_t>(100 + i), 1000));
      // The sound packet's start code ends the first picture, which then
      // sizes the capture before anything else comes.
      if (i == 0) {
        waitUntil([&] { return captureStarted.load(); });
      }
    }
    peer.send({0x00, 0x00, 0x01, 0xF8});
    peer.holdUntilClosed();
  });

  EngineRig rig;
  LiveLog log;
  PlayerEngine& engine = clientEngine(rig, log);
  ASSERT_EQ(engine.connect("127.0.0.1", dvr.port(), "secret"), 1);
  ASSERT_TRUE(waitUntil([&] { return log.pictures() == 1; }));
  const std::string path = rig.dir.file("live.avi");
  ASSERT_EQ(engine.startAviCapture(path, Compression::uncompressedDefault(), kCaptureEveryPicture), avi_result::kDone);
  EXPECT_TRUE(engine.isAviCapturing());
  EXPECT_EQ(engine.aviRecorder().frameWidth(), 640);
  EXPECT_EQ(engine.aviRecorder().frameHeight(), 448);
  captureStarted = true;

  // The first picture is told to the observer before the loop looks at the capture, so it may go in too.
  const std::int64_t later = static_cast<std::int64_t>(pictures.size()) - 1;
  const std::int64_t packets = static_cast<std::int64_t>(pictures.size());
  const AviRecorder& recorder = engine.aviRecorder();
  // The last sound packet comes last, and its frame goes in with it.
  EXPECT_TRUE(waitUntil([&] {
    return recorder.audioSamplesWritten() == 1000u * packets && recorder.framesWritten() >= later + packets;
  })) << recorder.framesWritten()
      << " frames, " << recorder.audioSamplesWritten() << " samples";
  EXPECT_EQ(engine.disconnect(), 1);
  EXPECT_EQ(recorder.audioSamplesWritten(), 1000u * packets);
  EXPECT_GE(recorder.framesWritten(), later + packets);
  EXPECT_LE(recorder.framesWritten(), later + 1 + packets) << "no frame more than the pictures and packets";
  EXPECT_EQ(engine.stopAviCapture(), avi_result::kDone);
  EXPECT_FALSE(engine.isAviCapturing());
  EXPECT_TRUE(std::filesystem::exists(path));
}

// Pictures lost with a connection leave the picture behind: after the
// login again, conditional pictures wait for the next refresh picture.
TEST(LiveLoop, AfterALostConnectionPicturesStartAgainAtARefreshPicture) {
  const std::vector<Bytes> pictures = livePictures(6);
  const Bytes endOfPicture = {0x00, 0x00, 0x01, 0xF8};
  FakeServer dvr([&](FakePeer& peer, int connection) {
    peer.read(44);
    peer.send(controlMessage("000C0003"));
    if (connection == 0) {
      for (int i = 0; i < 3; ++i) {
        peer.send(pictures[static_cast<std::size_t>(i)]);
      }
      peer.send(endOfPicture);
      return;
    }
    peer.send(pictures[3]);
    peer.send(pictures[4]);
    peer.send(pictures[0]);
    peer.send(endOfPicture);
    peer.holdUntilClosed();
  });

  EngineRig rig;
  LiveLog log;
  PlayerEngine& engine = clientEngine(rig, log);
  ASSERT_EQ(engine.connect("127.0.0.1", dvr.port(), "secret"), 1);
  ASSERT_TRUE(waitUntil([&] { return log.pictures() == 3; }));
  ASSERT_TRUE(waitUntil([&] { return engine.client().reconnects() == 1 && log.pictures() == 4; }));
  engine.disconnect();
  EXPECT_EQ(log.pictures(), 4u) << "two conditional pictures after the loss were shown";
}

TEST(LiveLoop, RecordingAndDisconnectRules) {
  EngineRig rig;
  PlayerEngine& engine = rig.engine;
  engine.setMode(EngineMode::Client, -1);
  EXPECT_EQ(engine.disconnect(), 1) << "not connected";
  EXPECT_EQ(engine.stopRecording(), 0);

  const std::string first = rig.dir.file("first.QKV");
  const std::string second = rig.dir.file("second.QKV");
  ASSERT_EQ(engine.startRecording(first), 1);
  ASSERT_EQ(engine.startRecording(second), 1) << "a second start closes the first file";
  EXPECT_TRUE(engine.isRecording());
  EXPECT_EQ(engine.stopRecording(), 1);
  EXPECT_EQ(engine.stopRecording(), 0);
  EXPECT_TRUE(std::filesystem::exists(first));
  EXPECT_TRUE(std::filesystem::exists(second));

  EXPECT_EQ(engine.connect("127.0.0.1", 9, std::string(32, 'x')), 0) << "a password the DVR cannot hold";
  EXPECT_FALSE(engine.lastConnectFailure().isOk());
  EXPECT_EQ(engine.getConnectionState(), 0);
}

}  // namespace
}  // namespace marlin::testing
