#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/codec_ids.h"
#include "base/status.h"
#include "codec/video_decoder.h"
#include "export/avi_writer.h"
#include "export/block_time_clock.h"
#include "export/channel_export_result.h"
#include "export/channel_output_path.h"
#include "export/export_preview.h"
#include "export/sound_routing.h"
#include "platform/worker_thread.h"
#include "source/stream_source.h"

namespace marlin {

// Exports a recording into one file per channel ("-CH1" .. "-CH16" beside
// the output name), each with the sound of its camera's microphone
// (soundChannelOfCamera). prepare() reads the whole range once to learn each
// channel's pictures and the sound, and opens the files; start() then reads
// the range on a worker thread of low priority and hands each file's
// pictures and sound to one of its writing threads (threads of them), which
// decodes, doubles each field to a full picture, stamps the block time on it
// and encodes it. A file is made by one thread in the order read, so the
// files are the same whatever the number of threads. MP4 and Matroska
// files show each picture at its block's time (BlockTimeClock); AVI files
// keep a constant rate. Configure and prepare from one thread while no
// export runs; position, total, done and the counters may be polled from
// any thread.
class ExportJob final : public WorkerThread {
 public:
  static constexpr int kChannels = 16;

  ExportJob();
  ~ExportJob() override;

  // videoCodecIndex: the recording's codec variant; audioFormatIndex: its
  // sound codec (1..6). Clears done.
  void configure(CodecVariant videoCodecIndex, int audioFormatIndex, std::uint32_t sampleRate);
  // configure with the sound as the recorder of that variant stores it: A-law or unsigned 8-bit at 8000 Hz.
  void configureForRecorder(CodecVariant variant);
  // Bit n: channel n + 1. All set at first.
  void setChannelMask(std::uint16_t mask) { channelMask_ = mask; }
  void setAudioSelected(bool selected) { audioSelected_ = selected; }
  // Off: the pictures go out without the time stamp.
  void setStamping(bool stamping) { stamping_ = stamping; }
  void setPreview(ExportPreview* preview) { preview_ = preview; }
  // Writing threads, at most one per file; 0: one per core.
  void setThreads(unsigned threads) { threads_ = threads; }
  void setChannelNaming(ChannelNaming naming) { naming_ = naming; }
  // MP4 and Matroska files get a text track with the block time, once a
  // second.
  void setTimeTrack(bool timeTrack) { timeTrack_ = timeTrack; }
  // The creation time of MP4 and Matroska files ("YYYY-MM-DDThh:mm:ss.000000Z");
  // empty: none.
  void setCreationTime(std::string utc) { creationTime_ = std::move(utc); }
  // Limits both passes to the recording's bytes [start, end); end 0: to its end.
  void setRange(std::uint64_t start, std::uint64_t end);

  // Closes a recording opened before.
  Status openInput(const std::string& path, bool isDisk);
  // outputPath: without an extension ".avi" is added, and one that names
  // no container is refused before anything is read. On failure every file
  // this call created is removed again, and the message names the channel
  // whose file failed and FFmpeg's reason.
  Status prepare(const std::string& outputPath);
  // Starts writing; 0 while an export is still running.
  int start();
  // Stops the writing between two frames and waits for it; the files keep
  // what was written by then.
  void stop() { WorkerThread::stop(); }
  // Stops and lets go of the recording.
  void destroy();

  std::uint64_t position() const { return source_.getPosition(); }
  std::uint64_t total() const { return source_.getSize(); }
  bool done() const { return done_.load(); }
  bool hasAudio() const { return hasAudio_; }
  std::uint64_t picturesWritten() const { return picturesWritten_.load(); }
  // Damaged stretches the writing read past (each one's frames are lost).
  std::uint64_t damagedStretches() const { return damagedStretches_.load(); }
  // One entry per file made, by channel; complete once done.
  std::vector<ChannelExportResult> results() const;

 protected:
  int run() override;

 private:
  struct Survey;
  struct Lane;

  Survey survey();
  Status openChannelFiles(const std::string& outputPath, const Survey& found);
  std::vector<std::unique_ptr<Lane>> makeLanes();
  void read(std::vector<std::unique_ptr<Lane>>& lanes);
  void showInPreview(int channel, const std::uint8_t* picture, int width, int height);
  void stopChannel(int channel);
  void finishChannel(int channel);
  void closeFiles();
  bool stopRequested() const { return stopEvent_.isSet() || running_.load() == 0; }

  // Each file's writer and result belong to its lane while the export runs.
  std::array<AviWriter, kChannels> writers_;
  std::array<ChannelExportResult, kChannels> channels_;
  std::array<BlockTimeClock, kChannels> clocks_;
  // The audio channel each file takes its sound from, if any.
  std::array<std::optional<std::uint32_t>, kChannels> soundOf_{};
  // The lane that writes each file while the export runs; -1: no file.
  std::array<int, kChannels> laneOf_{};
  // The second block-timed files count from: the range's first picture's.
  std::uint32_t origin_ = 0;
  StreamSource source_;
  VideoDecoder decoder_;
  ExportPreview* preview_ = nullptr;
  std::mutex previewLock_;
  std::chrono::steady_clock::time_point lastPreview_{};

  std::uint16_t channelMask_ = 0xFFFF;
  bool audioSelected_ = true;
  bool hasAudio_ = false;
  bool stamping_ = true;
  bool convertAudio_ = false;
  bool timeTrack_ = false;
  unsigned threads_ = 0;
  ChannelNaming naming_ = ChannelNaming::BesideName;
  std::string creationTime_;
  CodecVariant videoCodecIndex_ = 4;
  int audioFormatIndex_ = 1;
  std::uint32_t sampleRate_ = 8000;
  std::uint64_t rangeStart_ = 0;
  std::uint64_t rangeEnd_ = 0;

  std::atomic<bool> done_{false};
  std::atomic<std::uint64_t> picturesWritten_{0};
  std::atomic<std::uint64_t> damagedStretches_{0};
};

}  // namespace marlin
