#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/codec_ids.h"
#include "base/status.h"
#include "codec/video_decoder.h"
#include "export/avi_writer.h"
#include "export/channel_export_result.h"
#include "export/export_preview.h"
#include "export/sound_routing.h"
#include "platform/worker_thread.h"
#include "render/text_painter.h"
#include "source/stream_source.h"

namespace marlin {

// Exports a recording into one file per channel ("-CH1" .. "-CH16" beside
// the output name), each with the sound of its camera's microphone
// (soundChannelOfCamera). prepare() reads the whole range once to learn each
// channel's pictures and the sound, and opens the files; start() then writes
// them on a worker thread of low priority, decoding, doubling each field to
// a full picture and stamping the block time on it. Configure and prepare
// from one thread while no export runs; position, total, done and the
// counters may be polled from any thread.
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
  struct Buffers;

  Survey survey();
  Status openChannelFiles(const std::string& outputPath, const Survey& found);
  void writeSound(std::uint32_t soundChannel, const std::uint8_t* data, std::uint32_t length, Buffers& buffers);
  void writePicture(int channel, const std::uint8_t* frame, std::uint32_t length, const CalendarTime& time,
                    Buffers& buffers);
  void stopChannel(int channel);
  void finishChannel(int channel);
  void closeFiles();
  bool stopRequested() const { return stopEvent_.isSet() || running_.load() == 0; }

  std::array<AviWriter, kChannels> writers_;
  std::array<ChannelExportResult, kChannels> channels_;
  // The audio channel each file takes its sound from, if any.
  std::array<std::optional<std::uint32_t>, kChannels> soundOf_{};
  StreamSource source_;
  VideoDecoder decoder_;
  std::unique_ptr<TextPainter> painter_;
  ExportPreview* preview_ = nullptr;

  std::uint16_t channelMask_ = 0xFFFF;
  bool audioSelected_ = true;
  bool hasAudio_ = false;
  bool stamping_ = true;
  bool convertAudio_ = false;
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
