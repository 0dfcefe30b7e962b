// The writing pass: the job's worker thread reads the range and queues each
// file's pictures and sound to the lane (a writing thread) that owns the file.
#include <thread>
#include <vector>

#include "base/calendar.h"
#include "codec/audio_convert.h"
#include "export/export_job.h"
#include "export/full_height_picture.h"
#include "platform/bounded_queue.h"
#include "platform/task_pool.h"
#include "platform/thread_priority.h"
#include "render/text_painter_choice.h"
#include "render/time_stamp.h"
#include "source/frame_range_reader.h"

namespace marlin {

namespace {

constexpr int kLargestWidth = 640;
constexpr int kLargestFieldHeight = 272;
constexpr auto kPreviewInterval = std::chrono::milliseconds(40);
// Frames queued to a lane ahead of its writing: enough to ride over one
// slow picture, few enough that a stop is quick.
constexpr std::size_t kLaneDepth = 8;

// Whether two block times lie in different seconds (their milliseconds aside).
bool secondChanged(const CalendarTime& before, const CalendarTime& now) {
  return before.second != now.second || before.minute != now.minute || before.hour != now.hour ||
         before.day != now.day || before.month != now.month || before.year != now.year;
}

}  // namespace

// One writing thread and the files it owns. Its queue holds frames in the
// order read; the spare buffers go round between the reading thread and it,
// so a frame costs no allocation and the reader never runs more than
// kLaneDepth frames ahead.
struct ExportJob::Lane {
  enum class Kind { Picture, Sound };

  struct Frame {
    Kind kind = Kind::Picture;
    int channel = 0;
    std::vector<std::uint8_t> bytes;
    std::uint32_t length = 0;
    CalendarTime time;
    PictureMoment moment;
  };

  explicit Lane(ExportJob& owner) : job(owner), queue(kLaneDepth), spares(kLaneDepth) {
    for (std::size_t i = 0; i < kLaneDepth; ++i) spares.push(Frame{});
  }

  ~Lane() {
    queue.abandon();
    spares.abandon();
    if (thread.joinable()) thread.join();
  }

  void start(int videoCodecIndex) {
    decoder.Init(videoCodecIndex);
    thread = std::thread([this] { work(); });
  }

  // The reading thread: a spare frame to fill; nothing once the lane stops.
  std::optional<Frame> spare() { return spares.pop(); }
  void hand(Frame frame) { queue.push(std::move(frame)); }

  void work() {
    lowerCurrentThreadPriority();
    while (std::optional<Frame> frame = queue.pop()) {
      if (frame->kind == Kind::Sound) {
        writeSound(*frame);
      } else {
        writePicture(*frame);
      }
      spares.push(std::move(*frame));
    }
    // Finishing a file drains its encoder and, for MP4, rewrites it with
    // the index first: work for the file's own lane, beside the others.
    for (const int channel : channels) job.finishChannel(channel);
  }

  void writeSound(const Frame& frame) {
    AviWriter& writer = job.writers_[static_cast<std::size_t>(frame.channel)];
    if (writer.isOpen() && writer.writeAudio(frame.bytes.data(), frame.length) == 0) job.stopChannel(frame.channel);
  }

  void writePicture(const Frame& frame) {
    const auto at = static_cast<std::size_t>(frame.channel);
    AviWriter& writer = job.writers_[at];
    if (!writer.isOpen() || decoder.ParseHeader(frame.bytes.data(), frame.length) == 0) return;
    const int width = decoder.GetWidth();
    const int fieldHeight = decoder.GetHeight();
    // A file keeps the size of its channel's first picture; others cannot go in.
    if (width != writer.videoFormat().width || 2 * fieldHeight != writer.videoFormat().height ||
        width > kLargestWidth || fieldHeight > kLargestFieldHeight) {
      return;
    }
    std::vector<std::uint8_t>& field = decoded[at];
    // Conditional pictures update the channel's last one in place.
    if (field.empty()) field.resize(VideoDecoder::kMaxPictureBytes);
    if (decoder.Decode(frame.bytes.data(), frame.length, field.data()) != 1) return;
    fieldToFullHeight(field.data(), width, fieldHeight, picture.data());
    if (job.stamping_) {
      stampBottomUpBgr24(picture.data(), width, 2 * fieldHeight, dibRowBytes(width, 24),
                         timeStampText(frame.time, stampText), *painter, band);
    }
    job.showInPreview(frame.channel, picture.data(), width, 2 * fieldHeight);
    ChannelExportResult& result = job.channels_[at];
    const bool blockTimed = result.timing == FileTiming::BlockTime;
    const std::int64_t time = blockTimed ? frame.moment.millisecond : nextFrame[at];
    if (blockTimed && secondChanged(textSecond[at], frame.time)) {
      textSecond[at] = frame.time;
      if (writer.writeTimeText(time, 1000, formatCalendarTime(frame.time)) == 0) {
        job.stopChannel(frame.channel);
        return;
      }
    }
    if (writer.writeVideo(time, picture.data(), blockTimed ? frame.moment.duration : 1) == 0) {
      job.stopChannel(frame.channel);
      return;
    }
    if (blockTimed) {
      if (result.framesWritten == 0) firstMoment[at] = time;
      result.blockTimedMilliseconds = time + frame.moment.duration - firstMoment[at];
    }
    ++nextFrame[at];
    ++result.framesWritten;
    ++job.picturesWritten_;
  }

  ExportJob& job;
  std::vector<int> channels;
  BoundedQueue<Frame> queue;
  BoundedQueue<Frame> spares;
  std::thread thread;
  VideoDecoder decoder;
  std::unique_ptr<TextPainter> painter = makeTextPainter();
  Canvas band;
  TimeStampText stampText{};
  std::array<std::vector<std::uint8_t>, kChannels> decoded;
  std::vector<std::uint8_t> picture =
      std::vector<std::uint8_t>(dibImageBytes(kLargestWidth, 2 * kLargestFieldHeight, 24));
  std::array<std::int64_t, kChannels> nextFrame{};
  std::array<std::int64_t, kChannels> firstMoment{};
  std::array<CalendarTime, kChannels> textSecond{};
};

std::vector<std::unique_ptr<ExportJob::Lane>> ExportJob::makeLanes() {
  std::vector<int> files;
  for (int channel = 0; channel < kChannels; ++channel) {
    if (writers_[static_cast<std::size_t>(channel)].isOpen()) files.push_back(channel);
  }
  const unsigned wanted = threads_ == 0 ? TaskPool::coreCount() : threads_;
  const std::size_t count = std::max<std::size_t>(1, std::min<std::size_t>(wanted, files.size()));
  std::vector<std::unique_ptr<Lane>> lanes;
  for (std::size_t i = 0; i < count; ++i) lanes.push_back(std::make_unique<Lane>(*this));
  laneOf_.fill(-1);
  for (std::size_t i = 0; i < files.size(); ++i) {
    laneOf_[static_cast<std::size_t>(files[i])] = static_cast<int>(i % count);
    lanes[i % count]->channels.push_back(files[i]);
  }
  for (const std::unique_ptr<Lane>& lane : lanes) lane->start(videoCodecIndex_);
  return lanes;
}

int ExportJob::run() {
  // Export runs flat out; the lower priority keeps playback and the desktop smooth meanwhile.
  lowerCurrentThreadPriority();
  {
    std::vector<std::unique_ptr<Lane>> lanes = makeLanes();
    read(lanes);
    for (const std::unique_ptr<Lane>& lane : lanes) {
      // A stop drops what is queued; otherwise every frame read is written.
      if (stopRequested()) {
        lane->queue.abandon();
      } else {
        lane->queue.close();
      }
    }
    for (const std::unique_ptr<Lane>& lane : lanes) lane->thread.join();
  }
  closeFiles();
  done_ = true;
  return 1;
}

void ExportJob::read(std::vector<std::unique_ptr<Lane>>& lanes) {
  std::vector<std::uint8_t> frame(container::kFrameBufferSize);
  // Expanded companded sound takes two bytes a sample.
  std::vector<std::uint8_t> sound(2 * container::kFrameBufferSize);
  std::array<std::uint32_t, kChannels> lastSecond{};
  FrameRangeReader reader(source_, rangeStart_, rangeEnd_);
  const auto handTo = [&lanes, this](int channel, Lane::Kind kind, const std::uint8_t* data, std::uint32_t length,
                                     const CalendarTime& time, PictureMoment moment) {
    Lane& lane = *lanes[static_cast<std::size_t>(laneOf_[static_cast<std::size_t>(channel)])];
    std::optional<Lane::Frame> spare = lane.spare();
    if (!spare) return;
    spare->kind = kind;
    spare->channel = channel;
    spare->bytes.assign(data, data + length);
    spare->length = length;
    spare->time = time;
    spare->moment = moment;
    lane.hand(std::move(*spare));
  };
  while (!stopRequested()) {
    std::uint32_t length = reader.next(frame.data());
    damagedStretches_ = reader.damagedStretches();
    if (length == 0) break;
    const FrameHeader& header = source_.header();
    if (header.isAudio) {
      if (!audioSelected_) continue;
      const std::uint8_t* data = frame.data();
      if (convertAudio_) {
        length = convertAudioToPcm(audioFormatIndex_, data, length, sound.data());
        data = sound.data();
      }
      for (int channel = 0; channel < kChannels; ++channel) {
        if (laneOf_[static_cast<std::size_t>(channel)] >= 0 &&
            soundOf_[static_cast<std::size_t>(channel)] == header.channel) {
          handTo(channel, Lane::Kind::Sound, data, length, header.blockTime, {});
        }
      }
      continue;
    }
    if (decoder_.ParseHeader(frame.data(), length) == 0) continue;
    const int channel = decoder_.GetChannel();
    if (channel < 0 || channel >= kChannels || laneOf_[static_cast<std::size_t>(channel)] < 0) continue;
    const auto at = static_cast<std::size_t>(channel);
    // A block time that names no time keeps the second of the picture before.
    lastSecond[at] = timestampFromCalendar(header.blockTime, 0).value_or(lastSecond[at]);
    const PictureMoment moment =
        channels_[at].timing == FileTiming::BlockTime ? clocks_[at].next(lastSecond[at], origin_) : PictureMoment{};
    handTo(channel, Lane::Kind::Picture, frame.data(), length, header.blockTime, moment);
  }
}

void ExportJob::showInPreview(int channel, const std::uint8_t* picture, int width, int height) {
  if (preview_ == nullptr) return;
  const std::lock_guard lock(previewLock_);
  const auto now = std::chrono::steady_clock::now();
  if (now - lastPreview_ < kPreviewInterval) return;
  lastPreview_ = now;
  preview_->showExportedPicture(channel, picture, width, height);
}

}  // namespace marlin
