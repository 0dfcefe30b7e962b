// The stream source scans blocks in bulk; the reference reader steps one byte
// at a time exactly as the container's reading rules say. Both must agree on
// every delivered byte, position and header field, whatever the recording
// and whatever sequence of reads, jumps and marks.
#include <atomic>
#include <fstream>
#include <thread>

#include "startcode/start_code_search.h"
#include "stream_source_test_support.h"
#include "support/reference_reader.h"

namespace marlin::testing {
namespace {

void appendToFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::app);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.flush()) << path;
}

struct Scenario {
  bool isDisk = false;
  bool bigEndian = false;
};

class StreamSourceMatchesReference : public RecordingFixture {
 protected:
  Bytes randomFrame() {
    std::uniform_int_distribution<int> kind(0, 19);
    std::uniform_int_distribution<std::size_t> small(4, 40);
    std::uniform_int_distribution<std::size_t> medium(41, 9000);
    std::uniform_int_distribution<std::size_t> huge(131060, 140000);
    const int k = kind(random_);
    if (k == 0) {
      return Bytes{0, 0, 1, static_cast<std::uint8_t>(0xF8 + random_() % 6)};
    }
    if (k <= 5) {
      Bytes audio = synth::makeAudioFrame(random_() % 4, small(random_) + (k > 2 ? 500 : 0));
      audio.resize(std::max<std::size_t>(4, audio.size() - random_() % 4));
      return audio;
    }
    const std::size_t length = k == 6 && random_() % 2 == 0 ? huge(random_)
                               : k < 9                      ? small(random_) + 1
                                                            : medium(random_);
    return synth::makeVideoFrame(random_() % 16, length, random_, k % 2 == 0);
  }

  Bytes randomRecording(const Scenario& scenario) {
    synth::RecordingBuilder builder(scenario.bigEndian, static_cast<std::uint16_t>(random_()), 0);
    const std::size_t frames = 2 + random_() % 40;
    auto time = static_cast<std::uint32_t>(1200000000 + random_() % 100000);
    for (std::size_t i = 0; i < frames; ++i) {
      if (random_() % 4 == 0) {
        builder.setTime(time += static_cast<std::uint32_t>(random_() % 3));
        builder.setFrameInterval(static_cast<std::uint8_t>(random_()));
      }
      Bytes frame = randomFrame();
      // Now and then end the frame 1 to 3 bytes before a block boundary, so
      // that the next start code is divided by a header.
      const std::size_t used = builder.written() % container::kBlockSize;
      const std::size_t toBoundary = used == 0 ? container::kPayloadSize : container::kBlockSize - used;
      if (random_() % 3 == 0 && toBoundary > 8) {
        frame.resize(toBoundary - 1 - random_() % 3, 0x42);
      }
      builder.append(frame);
    }
    Bytes recording = builder.finish();
    const std::size_t blocks = recording.size() / container::kBlockSize;
    for (std::size_t damaged = random_() % 4; damaged > 0; --damaged) {
      synth::corruptBlock(recording, random_() % blocks);
    }
    // Stray start codes and noise, header bytes included.
    for (std::size_t stray = random_() % 6; stray > 0; --stray) {
      const std::size_t at = random_() % (recording.size() - 4);
      const Bytes code = {0, 0, 1, static_cast<std::uint8_t>(0xF6 + random_() % 10)};
      std::copy(code.begin(), code.end(), recording.begin() + static_cast<std::ptrdiff_t>(at));
    }
    if (random_() % 3 == 0) {
      recording.resize(recording.size() + random_() % container::kBlockSize, 0);
    }
    if (scenario.isDisk) {
      synth::toDiskByteOrder(recording);
    }
    return recording;
  }

  // stepOverSome: about half the reads pass no buffer, stepping over their
  // frames, with everything but the bytes to agree all the same.
  void compare(StreamSource& source, ReferenceReader& reference, const Scenario& scenario, int rounds,
               bool stepOverSome = false) {
    Bytes buffer(container::kFrameBufferSize);
    const std::uint64_t size = source.getSize();
    for (int op = 0; op < rounds; ++op) {
      std::optional<ReferenceFrame> expected;
      std::uint32_t length = 0;
      const int choice = static_cast<int>(random_() % 20);
      std::uint8_t* const destination = stepOverSome && random_() % 2 == 0 ? nullptr : buffer.data();
      std::string what;
      if (choice < 8) {
        what = "readNext";
        length = source.readNext(destination);
        expected = reference.readNext();
      } else if (choice < 16) {
        what = "readPrevious";
        length = source.readPrevious(destination);
        expected = reference.readPrevious();
      } else if (choice < 18) {
        const std::uint64_t to = random_() % (size + 8);
        what = "setPosition " + std::to_string(to);
        source.setPosition(to);
        reference.setPosition(to);
      } else if (choice < 19) {
        what = "setPositionToEnd";
        source.setPositionToEnd();
        reference.setPositionToEnd();
      } else {
        const std::uint64_t mark = random_() % (size + 8);
        what = "readFromMark " + std::to_string(mark);
        ASSERT_EQ(source.setMark(mark), reference.setMark(mark));
        length = source.readFromMark(destination);
        expected = reference.readFromMark();
      }
      SCOPED_TRACE("op " + std::to_string(op) + " " + what + (scenario.isDisk ? " disk" : "") +
                   (scenario.bigEndian ? " big-endian" : "") + (destination == nullptr ? " stepping over" : ""));
      expectSameOutcome(source, reference, destination, length, expected);
      if (HasFatalFailure()) {
        return;
      }
    }
  }

  // The frame delivered (into delivered unless it was stepped over) and what
  // the last blocks read left in the header.
  static void expectSameOutcome(const StreamSource& source, const ReferenceReader& reference,
                                const std::uint8_t* delivered, std::uint32_t length,
                                const std::optional<ReferenceFrame>& expected) {
    ASSERT_EQ(length, expected ? expected->bytes.size() : 0u);
    ASSERT_EQ(source.getPosition(), reference.state().position);
    const FrameHeader& header = source.header();
    if (expected) {
      if (delivered != nullptr) {
        ASSERT_TRUE(std::equal(expected->bytes.begin(), expected->bytes.end(), delivered));
      }
      ASSERT_EQ(header.isAudio, expected->isAudio);
      ASSERT_EQ(header.channel, expected->channel);
      ASSERT_EQ(header.start, expected->start);
      ASSERT_EQ(header.length, length);
    }
    ASSERT_EQ(header.audioChannelMask, reference.state().audioChannelMask);
    ASSERT_EQ(header.hasAudio, reference.state().hasAudio);
    ASSERT_EQ(header.channelMask, reference.state().channelMask);
    ASSERT_EQ(header.frameInterval, reference.state().frameInterval);
    CalendarTime time;
    ASSERT_EQ(source.getBlockTime(time), reference.state().blockTime.has_value());
  }

  // Reads to the end and then from the end back to the start.
  static void readWholeBothWays(StreamSource& source, ReferenceReader& reference) {
    Bytes buffer(container::kFrameBufferSize);
    for (int pass = 0; pass < 2; ++pass) {
      const bool forward = pass == 0;
      if (!forward) {
        source.setPositionToEnd();
        reference.setPositionToEnd();
      }
      for (int reads = 0; reads < 400; ++reads) {
        const std::uint32_t length = forward ? source.readNext(buffer.data()) : source.readPrevious(buffer.data());
        const auto expected = forward ? reference.readNext() : reference.readPrevious();
        SCOPED_TRACE("read " + std::to_string(reads) + (forward ? " forward" : " backward"));
        expectSameOutcome(source, reference, buffer.data(), length, expected);
        if (::testing::Test::HasFatalFailure()) {
          return;
        }
      }
    }
  }
};

TEST_F(StreamSourceMatchesReference, OnDamagedRecordingsWithEveryScanner) {
  const auto restore = &startcode::activeKernels();
  for (const startcode::Kernels* kernels : startcode::supportedKernels()) {
    startcode::selectKernels(*kernels);
    SCOPED_TRACE(kernels->name);
    for (int recording = 0; recording < 60; ++recording) {
      const Scenario scenario{random_() % 4 == 0, random_() % 4 == 0};
      const Bytes bytes = randomRecording(scenario);
      StreamSource& source = open(bytes, scenario.isDisk, scenario.bigEndian ? 6 : 4);
      ReferenceReader reference(bytes, scenario.isDisk, scenario.bigEndian);
      compare(source, reference, scenario, 120);
      if (HasFatalFailure()) {
        break;
      }
    }
  }
  startcode::selectKernels(*restore);
}

// Stepping over frames copies only their heads: over huge frames, short audio
// and start codes divided by a header, whatever was copied before.
TEST_F(StreamSourceMatchesReference, SteppingOverFramesWithoutTheirBytes) {
  for (int recording = 0; recording < 20; ++recording) {
    const Scenario scenario{recording % 3 == 1, recording % 4 == 2};
    const Bytes bytes = randomRecording(scenario);
    StreamSource& source = open(bytes, scenario.isDisk, scenario.bigEndian ? 6 : 4,
                                recording % 2 == 0 ? container::kBlockSize : BlockSpan::kDefaultBytes);
    ReferenceReader reference(bytes, scenario.isDisk, scenario.bigEndian);
    compare(source, reference, scenario, 150, true);
    if (HasFatalFailure()) {
      return;
    }
  }
}

// Long runs in one direction cover the paths that a mix of operations rarely
// reaches: whole recordings read to the end and back to the start.
TEST_F(StreamSourceMatchesReference, ReadingWholeRecordingsBothWays) {
  for (int recording = 0; recording < 25; ++recording) {
    const Scenario scenario{recording % 3 == 0, recording % 5 == 0};
    const Bytes bytes = randomRecording(scenario);
    StreamSource& source = open(bytes, scenario.isDisk, scenario.bigEndian ? 6 : 4);
    ReferenceReader reference(bytes, scenario.isDisk, scenario.bigEndian);
    readWholeBothWays(source, reference);
    if (HasFatalFailure()) {
      return;
    }
  }
}

// Reading ahead brings in many blocks with one read. Spans of one block up
// end everywhere a frame, a start code divided by a header or a damaged block
// can be; walks end to end both ways and then with jumps and marks in between
// meet each of them from either side.
TEST_F(StreamSourceMatchesReference, WithEveryReadAheadSize) {
  for (const std::size_t blocks : {1, 3, 16}) {
    SCOPED_TRACE("read ahead " + std::to_string(blocks) + " blocks");
    for (int recording = 0; recording < 6; ++recording) {
      const Scenario scenario{recording % 3 == 1, recording % 4 == 2};
      const Bytes bytes = randomRecording(scenario);
      StreamSource& source = open(bytes, scenario.isDisk, scenario.bigEndian ? 6 : 4, blocks * container::kBlockSize);
      ReferenceReader reference(bytes, scenario.isDisk, scenario.bigEndian);
      readWholeBothWays(source, reference);
      compare(source, reference, scenario, 150);
      if (HasFatalFailure()) {
        return;
      }
    }
  }
}

// A recording still being written: blocks that arrive after a read met the
// end are read when reading gets there, never hidden by the shorter span read
// before, also where a block was only partly written when last read.
TEST_F(StreamSourceMatchesReference, WhileTheRecordingGrows) {
  Bytes buffer(container::kFrameBufferSize);
  for (int recording = 0; recording < 8; ++recording) {
    const Scenario scenario{recording % 4 == 3, false};
    const Bytes bytes = randomRecording(scenario);
    std::size_t written = 1 + random_() % (bytes.size() / 2);
    const std::string path = writeRecording(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(written)));
    const std::size_t readAhead = recording % 2 == 0 ? 3 * container::kBlockSize : BlockSpan::kDefaultBytes;
    StreamSource& source = openFile(path, scenario.isDisk, 4, readAhead);
    // Jumps stay below the size seen at opening, as the reader's own do.
    const std::uint64_t openedSize = source.getSize();
    ReferenceReader reference(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(written)),
                              scenario.isDisk, false);
    for (int op = 0; op < 300; ++op) {
      if (written < bytes.size() && random_() % 5 == 0) {
        const std::size_t n =
            std::min<std::size_t>(bytes.size() - written, 1 + random_() % (3 * container::kBlockSize));
        const Bytes more(bytes.begin() + static_cast<std::ptrdiff_t>(written),
                         bytes.begin() + static_cast<std::ptrdiff_t>(written + n));
        appendToFile(path, more);
        reference.append(more);
        written += n;
      }
      const auto choice = random_() % 10;
      std::uint32_t length = 0;
      std::optional<ReferenceFrame> expected;
      if (choice < 5) {
        length = source.readNext(buffer.data());
        expected = reference.readNext();
      } else if (choice < 8) {
        length = source.readPrevious(buffer.data());
        expected = reference.readPrevious();
      } else {
        const std::uint64_t to = random_() % openedSize;
        source.setPosition(to);
        reference.setPosition(to);
      }
      SCOPED_TRACE("recording " + std::to_string(recording) + " op " + std::to_string(op) + " choice " +
                   std::to_string(choice) + " written " + std::to_string(written));
      expectSameOutcome(source, reference, buffer.data(), length, expected);
      if (HasFatalFailure()) {
        return;
      }
    }
  }
}

// A writer appends to the recording on a thread of its own while reading
// carries on span after span, so that spans read ahead meet the end of the
// file as it moves. Each read is made once the blocks it needs are written,
// so every read must deliver what reading the whole recording delivers, never
// bytes from past where a span read ahead had ended.
TEST_F(StreamSourceMatchesReference, ReadingOnWhileAWriterAppends) {
  Bytes buffer(container::kFrameBufferSize);
  for (int recording = 0; recording < 9; ++recording) {
    const Bytes bytes = randomRecording(Scenario{});
    std::atomic<std::size_t> written = std::min(bytes.size(), container::kBlockSize);
    const std::string path = writeRecording(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(written)));
    StreamSource& source = openFile(path, false, 4, (1 + recording % 3) * container::kBlockSize);
    std::thread writer([&] {
      std::mt19937 random(static_cast<std::uint32_t>(recording));
      std::ofstream out(path, std::ios::binary | std::ios::app);
      while (written < bytes.size()) {
        const std::size_t n = std::min<std::size_t>(bytes.size() - written, 1 + random() % (2 * container::kBlockSize));
        out.write(reinterpret_cast<const char*>(bytes.data() + written), static_cast<std::streamsize>(n));
        out.flush();
        written += n;
        std::this_thread::yield();
      }
    });
    ReferenceReader reference(bytes, false, false);
    for (int reads = 0;; ++reads) {
      const std::uint64_t before = reference.state().position;
      const std::optional<ReferenceFrame> expected = reference.readNext();
      const bool stuck = !expected && reference.state().position == before;
      // The block the next start code begins in and the one after it, which
      // may hold the rest of the code.
      const std::uint64_t needed =
          stuck ? bytes.size()
                : std::min<std::uint64_t>(
                      bytes.size(), container::blockStartOf(reference.state().position) + 2 * container::kBlockSize);
      while (written < needed) {
        std::this_thread::yield();
      }
      const std::uint32_t length = source.readNext(buffer.data());
      SCOPED_TRACE("recording " + std::to_string(recording) + " read " + std::to_string(reads));
      expectSameOutcome(source, reference, buffer.data(), length, expected);
      if (stuck || HasFailure()) {
        break;
      }
    }
    writer.join();
    if (HasFailure()) {
      return;
    }
  }
}

}  // namespace
}  // namespace marlin::testing
