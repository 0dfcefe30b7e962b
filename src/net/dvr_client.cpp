#include "net/dvr_client.h"

#include <algorithm>

#include "base/calendar.h"
#include "base/log.h"
#include "net/control_message.h"
#include "net/login_reply.h"
#include "platform/tcp_socket.h"

namespace marlin::net {

namespace {

constexpr int kVideoRecordKind = 1;
constexpr int kAudioRecordKind = 4;

// The live stream carries no time, so every live picture is stamped with the same fixed time of day; the engine
// reads it back as the picture's calendar time.
constexpr CalendarTime kLivePictureTime{2008, 1, 0, 1, 10, 0, 0, 0};

std::array<std::uint8_t, 32> liveVideoHeader() {
  std::array<std::uint8_t, 32> header{};
  writeCalendarRecord(kLivePictureTime, header.data());
  header[24] = 1;  // bytes 16-17 stay 0
  return header;
}

std::optional<std::uint32_t> addressOf(const std::string& text, Status& failure) {
  const std::optional<std::uint32_t> address = resolveIpv4(text);
  if (!address) {
    failure = Status::failure(StatusCode::InvalidArgument, "not an IPv4 address: \"" + text + "\"");
  }
  return address;
}

}  // namespace

// Hands the parser's pieces on: frames to the engine's queues, control messages to the client's state.
class DvrClient::QueueSink final : public StreamSink {
 public:
  explicit QueueSink(DvrClient& client) : client_(client), videoHeader_(liveVideoHeader()) {}

  void videoFrame(const std::uint8_t* data, std::size_t n) override {
    if (push(client_.videoQueue_, kVideoRecordKind, data, n, videoHeader_) == 0) {
      ++client_.videoDropped_;
    }
  }

  void audioPacket(const std::uint8_t* data, std::size_t n) override {
    if (push(client_.audioQueue_, kAudioRecordKind, data, n, {}) == 0) {
      ++client_.audioDropped_;
    }
  }

  void controlMessage(const std::uint8_t* data, std::size_t n) override {
    const std::optional<ControlMessage> message = readControlMessage(data, n);
    if (!message) {
      return;
    }
    // A report missing the words it should carry is ignored rather than filled in with guesses.
    if (const std::optional<std::uint16_t> word = message->parameter(0); message->code == kStatusWord && word) {
      client_.storeStatusWords(4, &*word, 1);
      client_.tell(ClientNotice::Status);
    } else if (message->code == kStatusWords && message->parameter(4)) {
      client_.storeStatusWords(0, message->parameters.data(), 5);
      client_.tell(ClientNotice::Status);
    } else if (message->code == kServerClosing) {
      client_.tell(ClientNotice::Closed);
    }
  }

 private:
  static int push(FrameQueue& queue, int kind, const std::uint8_t* data, std::size_t n,
                  const std::array<std::uint8_t, 32>& header) {
    FrameRecord record;
    record.data = const_cast<std::uint8_t*>(data);  // push only reads it
    record.kind = kind;
    record.capacity = static_cast<std::uint32_t>(n);
    record.length = static_cast<std::uint32_t>(n);
    record.header = header;
    return queue.push(record);
  }

  DvrClient& client_;
  const std::array<std::uint8_t, 32> videoHeader_;
};

DvrClient::DvrClient() : sink_(std::make_unique<QueueSink>(*this)), parser_(*sink_) {
  videoQueue_.allocate(kLiveVideoCapacity, kVideoQueueBlocks);
  audioQueue_.allocate(kLiveAudioCapacity, kAudioQueueBlocks);
}

DvrClient::~DvrClient() { stopConnection(); }

Status DvrClient::setDirectLogin(const std::string& address, std::uint16_t port, const std::string& password) {
  Status status;
  Target target;
  const std::optional<std::uint32_t> dvr = addressOf(address, status);
  if (!dvr) {
    return status;
  }
  target.dvrAddress = *dvr;
  target.dvrPort = port;
  if (status = buildLoginFor(password, target.loginMessage); !status) {
    return status;
  }
  target_ = std::move(target);
  return Status::ok();
}

Status DvrClient::setDdnsLogin(const std::string& ddnsAddress, std::uint16_t ddnsPort, const std::string& dvrName,
                               const std::string& password) {
  Status status;
  Target target;
  const std::optional<std::uint32_t> ddns = addressOf(ddnsAddress, status);
  if (!ddns) {
    return status;
  }
  target.useDdns = true;
  target.ddnsAddress = *ddns;
  target.ddnsPort = ddnsPort;
  if (status = buildDdnsQuery(dvrName, target.ddnsQuery); !status) {
    return status;
  }
  if (status = buildLoginFor(password, target.loginMessage); !status) {
    return status;
  }
  target_ = std::move(target);
  return Status::ok();
}

int DvrClient::startConnection() { return start(1); }

void DvrClient::stopConnection() {
  // The event first: a woken thread looks at it, so the poke cannot be taken for a mouse event.
  stopEvent_.set();
  wake_.poke();
  stop();
}

bool DvrClient::sendRemoteKey(int value) {
  // The caller is often the window's thread, which a DVR that reads nothing must not hold up.
  if (!remoteKeys_.push(static_cast<std::uint8_t>(value & 0xFF))) {
    return false;
  }
  wake_.poke();
  return true;
}

std::string DvrClient::lastError() const {
  std::lock_guard guard(reportLock_);
  return lastError_;
}

std::array<std::uint16_t, 5> DvrClient::statusWords() const {
  std::lock_guard guard(reportLock_);
  return statusWords_;
}

void DvrClient::setMouse(SharedMouse* mouse) { mouse_ = mouse; }

void DvrClient::setMouseMode(MouseRemoteMode mode) { mouseMode_ = mode; }

void DvrClient::changeState(ConnectionState state) {
  if (state_.exchange(state) != state && observer_ != nullptr) {
    observer_->connectionStateChanged(state);
  }
}

void DvrClient::tell(ClientNotice notice) {
  if (observer_ != nullptr) {
    observer_->notice(notice);
  }
}

void DvrClient::setLastError(std::string text) {
  std::lock_guard guard(reportLock_);
  lastError_ = std::move(text);
}

void DvrClient::storeStatusWords(std::size_t first, const std::uint16_t* words, std::size_t count) {
  std::lock_guard guard(reportLock_);
  std::copy(words, words + count, statusWords_.begin() + static_cast<std::ptrdiff_t>(first));
}

void DvrClient::dropRemoteKeys(std::size_t count, const std::string& reason) {
  if (count == 0) {
    return;
  }
  remoteKeysDropped_ += count;
  logWarning(std::to_string(count) + " remote key(s) not sent: " + reason);
}

}  // namespace marlin::net
