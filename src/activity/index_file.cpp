#include "activity/index_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/block_devices.h"
#include "platform/block_file.h"
#include "source/container.h"

namespace marlin::activity {

namespace {

constexpr std::array<std::uint8_t, 8> kMagic = {'M', 'V', 'A', 'C', 'T', 'I', 'D', 'X'};
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kCellBytes = (CellMask().size() + 7) / 8;

class Writer {
 public:
  void number(std::uint64_t value) {
    while (value >= 0x80) {
      bytes.push_back(static_cast<std::uint8_t>(value | 0x80));
      value >>= 7;
    }
    bytes.push_back(static_cast<std::uint8_t>(value));
  }
  void signedNumber(std::int64_t value) {
    number((static_cast<std::uint64_t>(value) << 1) ^ static_cast<std::uint64_t>(value >> 63));
  }
  void raw(const std::uint8_t* data, std::size_t n) {
    if (n != 0) {
      bytes.insert(bytes.end(), data, data + n);
    }
  }
  void text(const std::string& value) {
    number(value.size());
    raw(reinterpret_cast<const std::uint8_t*>(value.data()), value.size());
  }
  std::vector<std::uint8_t> bytes;
};

class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool number(std::uint64_t& value) {
    value = 0;
    for (unsigned shift = 0; shift < 64; shift += 7) {
      if (at_ >= size_) {
        return false;
      }
      const std::uint8_t byte = data_[at_++];
      value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
      if ((byte & 0x80) == 0) {
        return true;
      }
    }
    return false;
  }
  template <typename T>
  bool bounded(T& value, std::uint64_t limit) {
    std::uint64_t read = 0;
    if (!number(read) || read > limit) {
      return false;
    }
    value = static_cast<T>(read);
    return true;
  }
  bool signedNumber(std::int64_t& value) {
    std::uint64_t read = 0;
    if (!number(read)) {
      return false;
    }
    value = static_cast<std::int64_t>(read >> 1) ^ -static_cast<std::int64_t>(read & 1);
    return true;
  }
  bool raw(std::uint8_t* out, std::size_t n) {
    if (size_ - at_ < n) {
      return false;
    }
    if (n == 0) {
      return true;
    }
    std::memcpy(out, data_ + at_, n);
    at_ += n;
    return true;
  }
  bool text(std::string& value, std::size_t limit) {
    std::size_t length = 0;
    if (!bounded(length, std::min(limit, size_ - at_))) {
      return false;
    }
    value.assign(reinterpret_cast<const char*>(data_ + at_), length);
    at_ += length;
    return true;
  }
  std::size_t left() const { return size_ - at_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

void writeIdentity(Writer& out, const RecordingIdentity& id) {
  out.number(id.device);
  out.number(id.inode);
  out.text(id.serial);
  out.number(id.variant);
  out.number(id.byteOrder);
  out.number(id.size);
  out.signedNumber(id.modifiedNs);
  out.number(id.headHash);
  out.number(id.tailOffset);
  out.number(id.tailHash);
}

bool readIdentity(Reader& in, RecordingIdentity& id) {
  return in.number(id.device) && in.number(id.inode) && in.text(id.serial, 256) &&
         in.bounded(id.variant, kVariantCount - 1) && in.bounded(id.byteOrder, 1) && in.number(id.size) &&
         in.signedNumber(id.modifiedNs) && in.number(id.headHash) && in.number(id.tailOffset) && in.number(id.tailHash);
}

void writeChannel(Writer& out, const ChannelActivity& channel) {
  out.number(static_cast<std::uint64_t>(channel.columns));
  out.number(static_cast<std::uint64_t>(channel.rows));
  out.number(channel.conditional ? 1 : 0);
  out.number(channel.lastRefreshPosition == kNoPosition ? 0 : channel.lastRefreshPosition + 1);
  out.number(channel.lastRefreshMeans.size());
  out.raw(channel.lastRefreshMeans.data(), channel.lastRefreshMeans.size());
  out.number(channel.seconds.size());
  std::uint32_t time = 0;
  std::uint64_t position = 0;
  for (const SecondActivity& second : channel.seconds) {
    out.signedNumber(static_cast<std::int64_t>(second.time) - time);
    time = second.time;
    out.number(second.level);
    out.number(second.pictures);
    // Most seconds of most cameras see nothing: their cells take one byte.
    std::array<std::uint8_t, kCellBytes> cells{};
    std::size_t used = 0;
    for (std::size_t bit = 0; bit < second.cells.size(); ++bit) {
      if (second.cells[bit]) {
        cells[bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
        used = bit / 8 + 1;
      }
    }
    out.number(used);
    out.raw(cells.data(), used);
    out.signedNumber(static_cast<std::int64_t>(second.firstPosition - position));
    position = second.firstPosition;
    out.number(second.refreshPosition == kNoPosition ? 0 : second.firstPosition - second.refreshPosition + 1);
  }
}

bool readChannel(Reader& in, ChannelActivity& channel) {
  std::uint64_t conditional = 0;
  std::uint64_t lastRefresh = 0;
  std::size_t means = 0;
  std::size_t count = 0;
  if (!in.bounded(channel.columns, codec::kMaxMacroblockColumns) ||
      !in.bounded(channel.rows, codec::kMaxMacroblockRows) || !in.bounded(conditional, 1) ||
      !in.bounded(lastRefresh, kNoPosition - 1) ||
      !in.bounded(means, 4ull * codec::kMaxMacroblockColumns * codec::kMaxMacroblockRows)) {
    return false;
  }
  if (means != 0 && means != static_cast<std::size_t>(4 * channel.columns * channel.rows)) {
    return false;
  }
  channel.conditional = conditional != 0;
  channel.lastRefreshPosition = lastRefresh == 0 ? kNoPosition : lastRefresh - 1;
  channel.lastRefreshMeans.resize(means);
  // Each second takes six bytes at least: a damaged count cannot make the
  // reader allocate more than the file could hold.
  if (!in.raw(channel.lastRefreshMeans.data(), means) || !in.bounded(count, in.left() / 6)) {
    return false;
  }
  channel.seconds.resize(count);
  std::int64_t time = 0;
  std::uint64_t position = 0;
  for (SecondActivity& second : channel.seconds) {
    std::int64_t timeStep = 0;
    std::int64_t positionStep = 0;
    std::uint64_t refreshBack = 0;
    std::size_t used = 0;
    std::array<std::uint8_t, kCellBytes> cells{};
    if (!in.signedNumber(timeStep) || !in.bounded(second.level, 0xFFFF) || !in.bounded(second.pictures, 0xFFFF) ||
        !in.bounded(used, kCellBytes) || !in.raw(cells.data(), used) || !in.signedNumber(positionStep) ||
        !in.number(refreshBack)) {
      return false;
    }
    // A step no 32-bit time could take is refused before it is added.
    if (timeStep < -time || timeStep > 0xFFFFFFFF - time) {
      return false;
    }
    time += timeStep;
    second.time = static_cast<std::uint32_t>(time);
    position += static_cast<std::uint64_t>(positionStep);
    second.firstPosition = position;
    if (refreshBack > position + 1) {
      return false;
    }
    second.refreshPosition = refreshBack == 0 ? kNoPosition : position + 1 - refreshBack;
    for (std::size_t bit = 0; bit < 8 * used; ++bit) {
      if ((cells[bit / 8] >> (bit % 8)) & 1) {
        if (bit >= second.cells.size()) {
          return false;
        }
        second.cells.set(bit);
      }
    }
  }
  return true;
}

}  // namespace

std::uint64_t hashBytes(const std::uint8_t* data, std::size_t n, std::uint64_t seed) {
  std::uint64_t hash = seed;
  for (std::size_t i = 0; i < n; ++i) {
    hash = (hash ^ data[i]) * 0x100000001b3ull;
  }
  return hash;
}

std::optional<std::uint64_t> blockHash(const std::string& path, std::uint64_t offset) {
  BlockFile file;
  if (!file.open(path)) {
    return std::nullopt;
  }
  std::vector<std::uint8_t> block(container::kBlockSize);
  std::size_t got = 0;
  if (!file.readAt(offset, block.data(), block.size(), got)) {
    return std::nullopt;
  }
  return hashBytes(block.data(), got);
}

Status identifyRecording(const std::string& path, const RecordingReading& reading, RecordingIdentity& out) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    return Status::fromErrno(errno, "cannot read " + path);
  }
  RecordingIdentity id;
  id.device = info.st_dev;
  id.inode = info.st_ino;
  if (S_ISBLK(info.st_mode)) {
    id.serial = describeDisk(info).serial;
    id.device = info.st_rdev;
    id.inode = 0;
  }
  id.variant = static_cast<std::uint8_t>(reading.variant);
  id.byteOrder = reading.isDisk() ? 1 : 0;
  if (Status sized = querySizeOfPath(path, id.size); !sized) {
    return sized;
  }
  id.modifiedNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  id.tailOffset = id.size < container::kBlockSize ? 0 : (id.size / container::kBlockSize - 1) * container::kBlockSize;
  const std::optional<std::uint64_t> head = blockHash(path, 0);
  const std::optional<std::uint64_t> tail = blockHash(path, id.tailOffset);
  if (!head || !tail) {
    return Status::failure(StatusCode::IoError, "cannot read " + path);
  }
  id.headHash = *head;
  id.tailHash = *tail;
  out = id;
  return Status::ok();
}

std::vector<std::uint8_t> encodeIndexFile(const StoredIndex& stored) {
  Writer out;
  out.raw(kMagic.data(), kMagic.size());
  out.number(kVersion);
  writeIdentity(out, stored.identity);
  out.number(stored.index.indexedBytes);
  out.number(stored.index.pictures);
  out.number(stored.index.lastPictureStart);
  for (const ChannelActivity& channel : stored.index.channels) {
    writeChannel(out, channel);
  }
  const std::uint64_t checksum = hashBytes(out.bytes.data(), out.bytes.size());
  for (int i = 0; i < 8; ++i) {
    out.bytes.push_back(static_cast<std::uint8_t>(checksum >> (8 * i)));
  }
  return std::move(out.bytes);
}

std::optional<StoredIndex> decodeIndexFile(const std::uint8_t* data, std::size_t size) {
  if (size < kMagic.size() + 8 || std::memcmp(data, kMagic.data(), kMagic.size()) != 0) {
    return std::nullopt;
  }
  const std::size_t body = size - 8;
  std::uint64_t checksum = 0;
  for (int i = 0; i < 8; ++i) {
    checksum |= static_cast<std::uint64_t>(data[body + i]) << (8 * i);
  }
  if (checksum != hashBytes(data, body)) {
    return std::nullopt;
  }
  Reader in(data + kMagic.size(), body - kMagic.size());
  std::uint64_t version = 0;
  StoredIndex stored;
  if (!in.number(version) || version != kVersion || !readIdentity(in, stored.identity) ||
      !in.number(stored.index.indexedBytes) || !in.number(stored.index.pictures) ||
      !in.number(stored.index.lastPictureStart)) {
    return std::nullopt;
  }
  for (ChannelActivity& channel : stored.index.channels) {
    if (!readChannel(in, channel)) {
      return std::nullopt;
    }
  }
  if (in.left() != 0) {
    return std::nullopt;
  }
  return stored;
}

}  // namespace marlin::activity
