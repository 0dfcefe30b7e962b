// marlin serve-dvr as a client meets it: the login is checked and answered,
// the live stream decodes as a client decodes it and carries the whole
// recording, what the client sends is logged, lookups are answered, the
// faults happen once each, and the copy of what was sent is byte for byte
// what arrived.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <regex>

#include "codec/video_decoder.h"
#include "codec/yuv_picture.h"
#include "marlin_process.h"
#include "net/control_message.h"
#include "net/ddns_messages.h"
#include "net/login_reply.h"
#include "net/mouse_sender.h"
#include "net/stream_parser.h"
#include "platform/tcp_socket.h"
#include "source/stream_source.h"

namespace marlin::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint32_t kLoopback = 0x7F000001;

// The pieces of a live stream, cut as a client cuts them.
struct LiveCapture final : net::StreamSink {
  std::vector<Bytes> pictures;
  Bytes sound;
  std::vector<net::ControlMessage> messages;

  void videoFrame(const std::uint8_t* data, std::size_t n) override { pictures.emplace_back(data, data + n); }
  void audioPacket(const std::uint8_t* data, std::size_t n) override { sound.insert(sound.end(), data, data + n); }
  void controlMessage(const std::uint8_t* data, std::size_t n) override {
    if (const auto message = net::readControlMessage(data, n)) {
      messages.push_back(*message);
    }
  }
};

// A client as bare as the protocol allows.
class TestClient {
 public:
  explicit TestClient(std::uint16_t port) {
    EXPECT_TRUE(TcpSocket::connect(kLoopback, port, kPatience, nullptr, socket_)) << "port " << port;
  }

  void send(const Bytes& bytes) { EXPECT_TRUE(socket_.sendAll(bytes.data(), bytes.size())); }

  // Sends the login and reads the replies until they are decided; every
  // byte received is kept, and those after the acceptance go to the parser.
  net::LoginReplyReader::Result logIn(const std::string& password) {
    Bytes login;
    EXPECT_TRUE(net::buildLoginFor(password, login));
    send(login);
    while (reader_.result() == net::LoginReplyReader::Result::NeedMore) {
      const std::size_t n = receive();
      const auto result = n == 0 ? reader_.endOfStream() : reader_.feed(replies_.data() + replies_.size() - n, n);
      if (result == net::LoginReplyReader::Result::Accepted) {
        take(reader_.streamBytes().data(), reader_.streamBytes().size());
      }
    }
    return reader_.result();
  }

  // Reads the stream until done() holds; false when the stream ended first.
  bool readUntil(const std::function<bool()>& done) {
    while (!done()) {
      const std::size_t n = receive();
      if (n == 0) {
        return false;
      }
      take(replies_.data() + replies_.size() - n, n);
    }
    return true;
  }

  // Reads what is already on its way: the simulator has sent its last byte.
  void drain() {
    while (socket_.waitReadable(std::chrono::milliseconds(300), nullptr) == SocketReady::Readable && readOnce()) {
    }
  }

  bool readOnce() {
    const std::size_t n = receive();
    take(replies_.data() + replies_.size() - n, n);
    return n > 0;
  }

  void close() { socket_.close(); }

  const net::LoginReplyReader& reader() const { return reader_; }
  const Bytes& allReceived() const { return replies_; }
  const Bytes& stream() const { return stream_; }
  const LiveCapture& capture() const { return capture_; }

 private:
  std::size_t receive() {
    std::uint8_t chunk[65536];
    if (socket_.waitReadable(kPatience, nullptr) != SocketReady::Readable) {
      ADD_FAILURE() << "the simulator sent nothing";
      return 0;
    }
    const TcpSocket::Received got = socket_.receive(chunk, sizeof chunk);
    replies_.insert(replies_.end(), chunk, chunk + got.bytes);
    return got.bytes;
  }

  void take(const std::uint8_t* data, std::size_t n) {
    stream_.insert(stream_.end(), data, data + n);
    parser_.feed(data, n);
  }

  TcpSocket socket_;
  net::LoginReplyReader reader_;
  Bytes replies_;
  Bytes stream_;
  LiveCapture capture_;
  net::StreamParser parser_{capture_};
};

// Decodes live pictures in order as a client does: each must decode at the
// live layout's sizes, the first must be a refresh picture and the sequence
// numbers must grow.
void expectDecodableLivePictures(const std::vector<Bytes>& pictures) {
  VideoDecoder decoder;
  decoder.Init(kLiveStreamVariant);
  PictureStore store;
  std::uint16_t lastSequence = 0;
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    const YuvPicture* picture = store.decode(decoder, pictures[i].data(), pictures[i].size());
    ASSERT_NE(picture, nullptr) << "picture " << i << " of " << pictures.size() << " does not decode";
    EXPECT_EQ(picture->width, 640);
    EXPECT_TRUE(picture->height == 224 || picture->height == 272) << picture->height;
    if (i == 0) {
      EXPECT_TRUE(decoder.header().allCoded) << "a client starts from a refresh picture";
    } else {
      EXPECT_GT(decoder.header().extraValue, lastSequence) << "picture " << i;
    }
    lastSequence = decoder.header().extraValue;
  }
}

bool anyLineMatches(const std::vector<std::string>& lines, const std::string& pattern) {
  const std::regex wanted(pattern);
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return std::regex_match(line, wanted); });
}

class ServeDvrCli : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(std::filesystem::exists(sample)) << sample; }

  // Starts the simulator and reads the ports it printed.
  std::unique_ptr<MarlinProcess> serve(std::vector<std::string> args,
                                       const std::vector<std::string>& environment = {}) {
    return serveDvr(dir, sample, std::move(args), port, environment);
  }

  std::string sample = MARLIN_SAMPLE_RECORDING;
  TempDir dir;
  std::uint16_t port = 0;
};

TEST_F(ServeDvrCli, LoggedInClientGetsDecodableLivePicturesAndItsMessagesAreLogged) {
  const std::string sent = dir.file("sent.bin");
  auto dvr = serve({"--save-sent", sent, "--fault", "stall@3"}, {"MARLIN_PASSWORD=1234"});
  TestClient client(port);
  ASSERT_EQ(client.logIn("1234"), net::LoginReplyReader::Result::Accepted);
  ASSERT_TRUE(client.readUntil([&] { return client.capture().pictures.size() >= 10; }));
  client.send(net::buildRemoteKeyMessage(132));
  client.send(net::buildMouseMessage({1, 10, 20, 640, 448}, net::MouseRemoteMode::DisplayCursor));

  const std::vector<std::string> log = dvr->readUntil(R"("name":"stall")");
  EXPECT_TRUE(anyLineMatches(log, R"(\{"event":"client","peer":"127\.0\.0\.1:\d+"\})"));
  EXPECT_TRUE(anyLineMatches(log, R"(\{"event":"login","ok":true\})"));
  EXPECT_TRUE(anyLineMatches(log, R"(\{"event":"key","value":132\})"));
  EXPECT_TRUE(anyLineMatches(log, R"(\{"event":"mouse","state":257,"width":640,"height":448,"x":10,"y":20\})"));
  ASSERT_TRUE(anyLineMatches(log, R"(\{"event":"fault","name":"stall"\})"));

  // Stalled: everything sent is on its way, and the copy holds just that.
  client.drain();
  EXPECT_EQ(client.stream(), readFile(sent));
  expectDecodableLivePictures(client.capture().pictures);
  EXPECT_FALSE(client.capture().sound.empty());
  ASSERT_FALSE(client.capture().messages.empty());
  EXPECT_EQ(client.capture().messages.front().code, net::kStatusWords);
  EXPECT_EQ(client.capture().messages.front().parameter(0), 0x000F) << "the sample's four cameras";

  client.close();
  EXPECT_EQ(dvr->readLine().value_or("no line"), R"({"event":"disconnected"})");
  const Result r = dvr->finish(SIGTERM);
  EXPECT_TRUE(r.exited && r.status == 0) << r;
}

TEST_F(ServeDvrCli, SplitWritesAndMessagesInsidePicturesLeaveEveryPictureIntact) {
  const std::string sent = dir.file("sent.bin");
  auto dvr = serve({"--save-sent", sent, "--fault", "split", "--fault", "message-in-frame@0", "--fault", "stall@2"});
  TestClient client(port);
  ASSERT_EQ(client.logIn(""), net::LoginReplyReader::Result::Accepted) << "the login reply arrives in pieces";
  dvr->readUntil(R"("name":"stall")");
  client.drain();
  EXPECT_EQ(client.stream(), readFile(sent));
  ASSERT_GE(client.capture().pictures.size(), 3u);
  expectDecodableLivePictures(client.capture().pictures);
  EXPECT_GE(client.capture().messages.size(), client.capture().pictures.size()) << "one inside each picture";
}

TEST_F(ServeDvrCli, LoginsAreRefusedForAWrongPasswordAndOnRequest) {
  {
    auto dvr = serve({"--password", "1234"});
    TestClient client(port);
    EXPECT_EQ(client.logIn("4321"), net::LoginReplyReader::Result::Refused);
    EXPECT_EQ(client.reader().failureText(), "Incorrect password.");
    const std::vector<std::string> log = dvr->readUntil(R"("event":"login")");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), R"({"event":"login","ok":false,"reason":2})");
  }
  auto dvr = serve({"--refuse", "1", "--login-wait", "100"});
  TestClient client(port);
  EXPECT_EQ(client.logIn(""), net::LoginReplyReader::Result::Refused);
  EXPECT_EQ(client.reader().failureText(), "Too many client.");
  const Bytes& replies = client.allReceived();
  const auto first = net::readControlMessage(replies.data(), replies.size());
  ASSERT_TRUE(first);
  EXPECT_EQ(first->code, net::kLoginWait) << "a wait before the answer";
}

TEST_F(ServeDvrCli, LookupsAreAnsweredWithTheDvrsAddressAndPort) {
  auto dvr = serve({"--ddns-port", "0", "--name", "DVR1", "--fault", "ddns-bad-magic"});
  const std::optional<std::string> ddnsLine = dvr->readLine();
  ASSERT_TRUE(ddnsLine && ddnsLine->rfind("DDNS ", 0) == 0) << ddnsLine.value_or("no DDNS line");
  const auto ddnsPort = static_cast<std::uint16_t>(std::stoi(ddnsLine->substr(5)));

  const auto lookUp = [&](const std::string& name) {
    TestClient client(ddnsPort);
    std::array<std::uint8_t, net::kDdnsQueryBytes> query{};
    EXPECT_TRUE(net::buildDdnsQuery(name, query));
    client.send(Bytes(query.begin(), query.end()));
    net::DdnsReplyReader reader;
    auto result = net::DdnsReplyReader::Result::NeedMore;
    for (std::size_t fed = 0; result == net::DdnsReplyReader::Result::NeedMore && client.readOnce();
         fed = client.allReceived().size()) {
      result = reader.feed(client.allReceived().data() + fed, client.allReceived().size() - fed);
    }
    return std::make_pair(result, reader.answer());
  };
  EXPECT_EQ(lookUp("DVR1").first, net::DdnsReplyReader::Result::BadMagic) << "the fault spoils one reply";
  const auto [result, answer] = lookUp("DVR1");
  ASSERT_EQ(result, net::DdnsReplyReader::Result::Answered);
  EXPECT_EQ(answer.address, kLoopback);
  EXPECT_EQ(answer.port, port);
  EXPECT_EQ(lookUp("OTHER").first, net::DdnsReplyReader::Result::NeedMore) << "no answer for another DVR";

  const std::vector<std::string> log = dvr->readUntil(R"("name":"OTHER")");
  EXPECT_EQ(std::count(log.begin(), log.end(), R"({"event":"ddns-query","name":"DVR1"})"), 2);
  EXPECT_TRUE(anyLineMatches(log, R"(\{"event":"fault","name":"ddns-bad-magic"\})"));
}

TEST_F(ServeDvrCli, FaultsHappenOnceAndTheNextClientStartsFromARefreshPicture) {
  auto dvr = serve({"--fault", "close-after-login", "--fault", "drop@0.5"});
  {
    TestClient closed(port);
    EXPECT_EQ(closed.logIn(""), net::LoginReplyReader::Result::Malformed) << "closed without a reply";
  }
  {
    TestClient dropped(port);
    ASSERT_EQ(dropped.logIn(""), net::LoginReplyReader::Result::Accepted);
    EXPECT_FALSE(dropped.readUntil([] { return false; })) << "the stream ends with the drop";
  }
  TestClient client(port);
  ASSERT_EQ(client.logIn(""), net::LoginReplyReader::Result::Accepted);
  ASSERT_TRUE(client.readUntil([&] { return client.capture().pictures.size() >= 5; }));
  expectDecodableLivePictures(client.capture().pictures);
  // Stopped while it streams to a client.
  const Result r = dvr->finish(SIGTERM);
  EXPECT_TRUE(r.exited && r.status == 0) << r;
  const auto count = [&](const std::string& line) {
    std::size_t n = 0;
    for (std::size_t at = r.out.find(line); at != std::string::npos; at = r.out.find(line, at + 1)) {
      ++n;
    }
    return n;
  };
  EXPECT_EQ(count(R"({"event":"client",)"), 3u) << r;
  EXPECT_EQ(count(R"({"event":"fault","name":"close-after-login"})"), 1u) << r;
  EXPECT_EQ(count(R"({"event":"fault","name":"drop"})"), 1u) << r;
  EXPECT_EQ(count(R"({"event":"disconnected"})"), 3u) << r;
}

// Clients that never log in, log in by halves or never read take places but
// hold no one up: a client behind them gets its pictures, those that do not
// log in are let go, and no more clients are served at once than the DVR
// has places for; the next one waits for a place.
TEST_F(ServeDvrCli, ClientsAreServedEachOnItsOwnAndAtMostEightAtOnce) {
  auto dvr = serve({"--fps", "25", "--loop"});
  Bytes login;
  ASSERT_TRUE(net::buildLoginFor("", login));
  std::deque<TestClient> idle;
  for (int i = 0; i < 5; ++i) {
    idle.emplace_back(port);
  }
  idle.emplace_back(port).send(Bytes(login.begin(), login.begin() + 20));
  TestClient neverReads(port);
  neverReads.send(login);
  TestClient client(port);
  ASSERT_EQ(client.logIn(""), net::LoginReplyReader::Result::Accepted);
  ASSERT_TRUE(client.readUntil([&] { return client.capture().pictures.size() >= 10; }));
  expectDecodableLivePictures(client.capture().pictures);

  TestClient ninth(port);
  ninth.send(login);
  for (TestClient& peer : idle) {
    EXPECT_FALSE(peer.readUntil([] { return false; })) << "let go without a login";
  }
  ASSERT_EQ(ninth.logIn(""), net::LoginReplyReader::Result::Accepted) << "served once a place is free";

  // The log up to the three logins and the six clients let go.
  int served = 0;
  int most = 0;
  std::vector<std::string> log;
  const auto seen = [&](const std::string& line) { return std::count(log.begin(), log.end(), line); };
  while (seen(R"({"event":"login","ok":true})") < 3 || seen(R"({"event":"login-timeout"})") < 6) {
    const std::optional<std::string> line = dvr->readLine();
    ASSERT_TRUE(line) << "the log ends early";
    served += line->starts_with(R"({"event":"client",)") ? 1 : *line == R"({"event":"disconnected"})" ? -1 : 0;
    most = std::max(most, served);
    log.push_back(*line);
  }
  EXPECT_EQ(most, 8);
}

// Without --loop the simulator sends the recording once, whole, and ends
// when its client leaves.
TEST_F(ServeDvrCli, SendsTheWholeRecordingOnceAndEndsWhenItsClientLeaves) {
  const Result made = runMarlin(dir, {"make-sample", dir.file("short.QKV"), "--seconds", "1", "--audio"});
  ASSERT_TRUE(made.exited && made.status == 0) << made;
  std::size_t recordedPictures = 0;
  Bytes recordedSound;
  {
    StreamSource source;
    ASSERT_TRUE(source.open(dir.file("short.QKV"), false));
    Bytes frame(container::kFrameBufferSize);
    while (const std::uint32_t n = source.readNext(frame.data())) {
      if (!source.header().isAudio) {
        ++recordedPictures;
      } else if (source.header().channel == 0) {
        recordedSound.insert(recordedSound.end(), frame.begin(), frame.begin() + n);
      }
    }
  }
  sample = dir.file("short.QKV");
  auto dvr = serve({"--fps", "100"});
  TestClient client(port);
  ASSERT_EQ(client.logIn(""), net::LoginReplyReader::Result::Accepted);
  // A picture is cut out of the stream when the next one begins, so the
  // last one never is; the sound after it comes out with the next status report.
  ASSERT_TRUE(client.readUntil([&] {
    return client.capture().pictures.size() + 1 >= recordedPictures &&
           client.capture().sound.size() >= recordedSound.size();
  }));
  EXPECT_EQ(client.capture().pictures.size() + 1, recordedPictures);
  EXPECT_EQ(client.capture().sound, recordedSound);
  expectDecodableLivePictures(client.capture().pictures);
  client.close();
  const Result r = dvr->finish();
  EXPECT_TRUE(r.exited && r.status == 0) << r;
}

}  // namespace
}  // namespace marlin::testing
