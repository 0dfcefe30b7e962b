#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/codec_ids.h"
#include "base/status.h"
#include "export/channel_export_result.h"

namespace marlin {

// What an evidence folder is made from.
struct EvidenceRequest {
  std::string recordingPath;
  bool isDisk = false;
  CodecVariant variant = 4;
  // Created; refused when it exists and holds anything.
  std::string folder;
  std::uint16_t channelMask = 0xFFFF;  // bit n: channel n + 1
  // The bytes asked for, [start, end); the folder takes the whole blocks
  // that hold them. end 0: to the end of the recording.
  std::uint64_t start = 0;
  std::uint64_t end = 0;
  // An Ed25519 private key (PEM) to sign the manifest with; empty: unsigned.
  std::string signingKey;
  // Working copies written at once; 0: one per core.
  unsigned threads = 0;
  // 0..10000 onto H.264's rate factor; -1: x264's default.
  int quality = -1;
};

enum class EvidenceStage { Copying, Exporting, Hashing, Signing };

// How far the making is; `done` of `total` bytes of the stage.
struct EvidenceProgress {
  EvidenceStage stage = EvidenceStage::Copying;
  std::uint64_t done = 0;
  std::uint64_t total = 0;
};

// What the folder holds once made.
struct EvidenceFolder {
  std::uint64_t exportedStart = 0;
  std::uint64_t exportedEnd = 0;
  std::vector<ChannelExportResult> copies;
  // Every file but SHA256SUMS, with its SHA-256.
  std::vector<std::pair<std::string, std::string>> digests;
};

// Makes the evidence folder: original.QKV (the range's whole blocks, as
// `marlin cut` copies them), a working copy CH<n>.mp4 per channel (H.264,
// the time stamped in the picture, AAC sound, a text track of the block time,
// each picture at its block's time), manifest.json, SHA256SUMS and, with a
// key, manifest.sig and public_key.pem. Progress is called on this thread;
// stop ends the making early. A failure or a stop removes what was made
// (the folder too, when this call created it).
Status makeEvidenceFolder(const EvidenceRequest& request, const std::function<void(const EvidenceProgress&)>& progress,
                          const std::atomic<bool>& stop, EvidenceFolder& made);

}  // namespace marlin
