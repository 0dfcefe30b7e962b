#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <tuple>
#include <vector>

#include "render/dib_snapshot.h"
#include "render/offscreen_presenter.h"
#include "render/video_renderer.h"
#include "render_test_support.h"
#include "support/temp_dir.h"

namespace marlin {
namespace {

std::uint32_t le32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

TEST(Snapshot, WritesWhatIsShownAsABitmapFile) {
  // 101 pixels make 303-byte rows, padded to 304.
  OffscreenPresenter presenter({101, 50});
  presenter.setKeepPresented(true);
  rendertest::RecordingPainter painter;
  VideoRenderer renderer(presenter, painter, consoleMessageSink());
  const std::vector<std::uint8_t> picture = rendertest::gradientPicture(320, 224);
  ASSERT_TRUE(renderer.PutPicture(0, CalendarTime{}, picture.data(), 320, 224));

  testing::TempDir dir;
  const std::string path = dir.file("still.bmp");
  EXPECT_TRUE(renderer.SaveSnapshot(path).isOk());
  const std::vector<std::uint8_t> file = testing::readFile(path);
  ASSERT_EQ(file.size(), 14u + 40u + 304u * 50u);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(le32(file, 2), file.size());
  EXPECT_EQ(le32(file, 10), 54u);
  EXPECT_EQ(le32(file, 18), 101u);
  EXPECT_EQ(le32(file, 22), 50u);
  EXPECT_EQ(file[28], 24);
  EXPECT_EQ(std::vector<std::uint8_t>(file.begin() + 14, file.end()), presenter.clipboard());

  const Canvas& shown = presenter.lastPresented();
  for (int y = 0; y < 50; ++y) {
    const std::uint8_t* row = file.data() + 54 + (49 - y) * 304;
    for (int x = 0; x < 101; ++x) {
      ASSERT_EQ(rgbColour(row[3 * x + 2], row[3 * x + 1], row[3 * x]), rendertest::colourAt(shown, x, y))
          << x << "," << y;
    }
  }

  const std::string unwritable = dir.file("missing/still.bmp");
  EXPECT_FALSE(renderer.SaveSnapshot(unwritable).isOk());
  EXPECT_FALSE(std::filesystem::exists(unwritable));
}

TEST(Snapshot, BitsOffsetCountsColourTablesAndMasks) {
  // bit count, compression, colours used -> bytes before the bits
  const std::array<std::tuple<int, int, int, std::uint32_t>, 8> cases{{
      {24, 0, 0, 40},
      {24, 0, 2, 48},
      {8, 0, 0, 40 + 4 * 256},
      {4, 2, 0, 40 + 4 * 16},
      {8, 1, 16, 40 + 4 * 16},
      {16, 3, 0, 52},
      {32, 3, 3, 64},
      {24, 7, 9, 40},
  }};
  for (const auto& [bits, compression, colours, offset] : cases) {
    std::array<std::uint8_t, 40> header{};
    header[14] = static_cast<std::uint8_t>(bits);
    header[16] = static_cast<std::uint8_t>(compression);
    header[32] = static_cast<std::uint8_t>(colours);
    EXPECT_EQ(dibBitsOffset(header.data()), offset) << bits << " " << compression << " " << colours;
  }
}

}  // namespace
}  // namespace marlin
