#include "icon_set.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/image_builder.h"

namespace brimlet {
namespace {

// A BITMAPINFOHEADER with the fields the geometry rules read.
std::vector<std::uint8_t> Header(std::int32_t width, std::int32_t height, std::uint16_t planes,
                                 std::uint16_t bitCount, std::uint32_t clrUsed, std::uint32_t size = 40) {
  std::vector<std::uint8_t> bytes(40, 0);
  test::PutU32(bytes, 0, size);
  test::PutU32(bytes, 4, static_cast<std::uint32_t>(width));
  test::PutU32(bytes, 8, static_cast<std::uint32_t>(height));
  test::PutU16(bytes, 12, planes);
  test::PutU16(bytes, 14, bitCount);
  test::PutU32(bytes, 32, clrUsed);
  return bytes;
}

IconFrame Frame(std::vector<std::uint8_t> bytes) {
  IconFrame frame;
  frame.imageData = std::move(bytes);
  EXPECT_TRUE(BindFrame(&frame));
  return frame;
}

struct GeometryCase {
  std::int32_t width;
  std::uint16_t bitCount;
  std::uint16_t planes;
  std::uint32_t clrUsed;
  std::uint16_t entries;
  std::uint16_t paletteBytes;
  std::int32_t stride;
};

class GeometryTable : public testing::TestWithParam<GeometryCase> {};

TEST_P(GeometryTable, EntriesPaletteBytesAndStride) {
  const GeometryCase& c = GetParam();
  const DibHeader header = DibHeader::Read(ByteSpan(Header(c.width, 2, c.planes, c.bitCount, c.clrUsed)));
  EXPECT_EQ(DibPaletteEntries(header), c.entries);
  EXPECT_EQ(DibPaletteBytes(header), c.paletteBytes);
  EXPECT_EQ(DibRowStride(header), c.stride);
  EXPECT_EQ(DibColorBits(header), 40u + c.paletteBytes);
}

INSTANTIATE_TEST_SUITE_P(Rules, GeometryTable,
                         testing::Values(GeometryCase{16, 1, 1, 0, 2, 8, 4},
                                         GeometryCase{16, 4, 1, 0, 16, 64, 8},
                                         GeometryCase{32, 4, 1, 0, 16, 64, 16},
                                         GeometryCase{16, 4, 2, 0, 16, 64, 16},
                                         GeometryCase{16, 8, 1, 12, 12, 48, 16},
                                         GeometryCase{48, 8, 1, 0, 256, 1024, 48},
                                         GeometryCase{20, 24, 1, 0, 0, 0, 60},
                                         GeometryCase{32, 32, 1, 0, 0, 0, 128},
                                         GeometryCase{10, 2, 1, 0, 0, 0, 4},
                                         GeometryCase{0, 4, 1, 0, 16, 64, 0},
                                         // Extremes: the colour count keeps its low 16 bits and the
                                         // byte count wraps; a huge width wraps without trapping.
                                         GeometryCase{1, 8, 1, 0x10005, 5, 20, 4},
                                         GeometryCase{1, 8, 1, 0x4001, 0x4001, 4, 4},
                                         GeometryCase{0x7fffffff, 32, 1, 0, 0, 0, -4}));

TEST(BindFrame, WorkedExampleOf32By32FourBitImage) {
  std::vector<std::uint8_t> bytes = Header(32, 64, 1, 4, 0);
  bytes.resize(744);
  const IconFrame frame = Frame(bytes);
  EXPECT_EQ(frame.width, 32);
  EXPECT_EQ(frame.height, 32);
  EXPECT_EQ(frame.bitsPerPixel, 4);
  EXPECT_EQ(frame.colorBits, 104);
  EXPECT_EQ(frame.maskBits, 616);
  EXPECT_EQ(frame.imageSize(), 744u);
  EXPECT_EQ(frame.header.biSize, 40u);
}

TEST(BindFrame, SixteenBySixteenFourBitImage) {
  std::vector<std::uint8_t> bytes = Header(16, 32, 1, 4, 0);
  bytes.resize(296);
  const IconFrame frame = Frame(bytes);
  EXPECT_EQ(frame.colorBits, 104);
  EXPECT_EQ(frame.maskBits, 232);
}

TEST(BindFrame, HeightIsHalfTruncatedTowardZero) {
  const std::pair<std::int32_t, std::int32_t> cases[] = {{64, 32}, {33, 16}, {1, 0}, {-64, -32}, {-33, -16}};
  for (const auto& [stored, expected] : cases) {
    EXPECT_EQ(Frame(Header(16, stored, 1, 4, 0)).height, expected) << "biHeight " << stored;
  }
}

TEST(BindFrame, ColorBitsFollowHeaderSizeAndColourTable) {
  EXPECT_EQ(Frame(Header(16, 32, 1, 8, 12)).colorBits, 40 + 48);
  EXPECT_EQ(Frame(Header(16, 32, 1, 24, 0)).colorBits, 40);
  EXPECT_EQ(Frame(Header(16, 32, 1, 32, 0)).colorBits, 40);
  EXPECT_EQ(Frame(Header(16, 32, 1, 32, 3)).colorBits, 52);
  EXPECT_EQ(Frame(Header(16, 32, 1, 2, 0)).colorBits, 40);
  // A larger header (a BITMAPV5HEADER, say) moves the bitmap by the difference.
  std::vector<std::uint8_t> v5 = Header(16, 32, 1, 4, 0, 124);
  v5.resize(124);
  EXPECT_EQ(Frame(v5).colorBits, 124 + 64);
}

TEST(BindFrame, PlanesMultiplyDepthAndStrideButNotTheColourTable) {
  const IconFrame two = Frame(Header(16, 32, 2, 4, 0));
  EXPECT_EQ(two.bitsPerPixel, 8);
  EXPECT_EQ(DibRowStride(two.header), 16);
  EXPECT_EQ(DibPaletteBytes(two.header), 64);
  const IconFrame none = Frame(Header(16, 32, 0, 4, 0));
  EXPECT_EQ(none.bitsPerPixel, 0);
  EXPECT_EQ(DibRowStride(none.header), 0);
  EXPECT_EQ(none.maskBits, none.colorBits);
  // Damaged headers: the 32-bit product wraps instead of overflowing.
  EXPECT_EQ(Frame(Header(16, 32, 0xFFFF, 0xFFFF, 0)).bitsPerPixel, static_cast<std::int32_t>(0xFFFE0001u));
  EXPECT_EQ(Frame(Header(16, 32, 47275, 53957, 0)).bitsPerPixel,
            static_cast<std::int32_t>(47275u * 53957u));
}

TEST(BindFrame, IsRepeatableAndRefusesNoFrame) {
  IconFrame frame = Frame(Header(32, 64, 1, 4, 0));
  const IconFrame first = frame;
  ASSERT_TRUE(BindFrame(&frame));
  EXPECT_EQ(frame.width, first.width);
  EXPECT_EQ(frame.height, first.height);
  EXPECT_EQ(frame.colorBits, first.colorBits);
  EXPECT_EQ(frame.maskBits, first.maskBits);
  EXPECT_FALSE(BindFrame(nullptr));
}

TEST(BindFrame, ShortImagesReadNothingPastTheirEnd) {
  // Fields past the end of the image read as 0; the sanitizers check that no
  // byte beyond the image is touched.
  std::vector<std::uint8_t> full = Header(32, 64, 1, 4, 0);
  for (std::size_t length = 0; length <= full.size(); ++length) {
    const IconFrame frame = Frame(std::vector<std::uint8_t>(full.begin(), full.begin() + static_cast<long>(length)));
    EXPECT_EQ(frame.width, length >= 8 ? 32 : 0) << length;
    EXPECT_EQ(frame.height, length >= 12 ? 32 : 0) << length;
  }
}

TEST(IsPngImage, RecognisesTheSignatureOnly) {
  const std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0};
  EXPECT_TRUE(IsPngImage(ByteSpan(png)));
  EXPECT_FALSE(IsPngImage(ByteSpan(png.data(), 7)));
  EXPECT_FALSE(IsPngImage(ByteSpan(Header(16, 32, 1, 4, 0))));
}

}  // namespace
}  // namespace brimlet
