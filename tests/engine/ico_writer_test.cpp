#include "ico_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/dib_fixtures.h"
#include "ico_reader.h"
#include "support/test_paths.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace brimlet {
namespace {

using test::Bytes;
using test::DibSpec;
using test::MakeDibFrame;
using test::MakeFrame;
using test::MakeSet;

// Records every write, and fails the one numbered failAt (from 1) and any
// after it, so the tests see where the writer stops.
class RecordingSink final : public ByteSink {
 public:
  explicit RecordingSink(std::size_t failAt = 0) : failAt_(failAt) {}
  bool Write(ByteSpan bytes) override {
    sizes.push_back(bytes.size());
    if (failAt_ != 0 && sizes.size() >= failAt_) return false;
    written.insert(written.end(), bytes.data(), bytes.data() + bytes.size());
    return true;
  }
  std::vector<std::size_t> sizes;
  Bytes written;

 private:
  std::size_t failAt_;
};

Bytes WriteToMemory(const IconSet& set) {
  MemorySink sink;
  EXPECT_TRUE(WriteIcoFile(set, sink));
  return sink.bytes();
}

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t length) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
               bytes.begin() + static_cast<std::ptrdiff_t>(from + length));
}

IconSet TwoFourBitFrames() {
  return MakeSet({MakeDibFrame({.width = 16, .height = 16, .bitCount = 4, .seed = 1}),
                  MakeDibFrame({.width = 32, .height = 32, .bitCount = 4, .seed = 2})});
}

TEST(IcoWriter, EmptySetIsTheSixByteHeader) {
  EXPECT_EQ(WriteToMemory(IconSet{}), (Bytes{0x00, 0x00, 0x01, 0x00, 0x00, 0x00}));
}

TEST(IcoWriter, TwoFourBitFramesGiveTheKnownFile) {
  const IconSet set = TwoFourBitFrames();
  ASSERT_EQ(set.frames[0].imageSize(), 296u);
  ASSERT_EQ(set.frames[1].imageSize(), 744u);
  const Bytes file = WriteToMemory(set);
  ASSERT_EQ(file.size(), 1078u);
  EXPECT_EQ(Slice(file, 0, 6), (Bytes{0x00, 0x00, 0x01, 0x00, 0x02, 0x00}));
  EXPECT_EQ(Slice(file, 6, 16),
            (Bytes{0x10, 0x10, 0x10, 0x00, 0x01, 0x00, 0x04, 0x00, 0x28, 0x01, 0x00, 0x00, 0x26, 0x00, 0x00, 0x00}));
  EXPECT_EQ(Slice(file, 22, 16),
            (Bytes{0x20, 0x20, 0x10, 0x00, 0x01, 0x00, 0x04, 0x00, 0xE8, 0x02, 0x00, 0x00, 0x4E, 0x01, 0x00, 0x00}));
  EXPECT_EQ(Slice(file, 38, 296), set.frames[0].imageData);
  EXPECT_EQ(Slice(file, 334, 744), set.frames[1].imageData);
}

TEST(IcoWriter, WritesFieldByFieldInOrder) {
  RecordingSink sink;
  ASSERT_TRUE(WriteIcoFile(TwoFourBitFrames(), sink));
  // Three 2-byte header fields, one write per entry, one write per image.
  EXPECT_EQ(sink.sizes, (std::vector<std::size_t>{2, 2, 2, 16, 16, 296, 744}));
}

TEST(IcoWriter, StopsAtTheFirstFailedWrite) {
  const IconSet set = TwoFourBitFrames();
  const Bytes whole = WriteToMemory(set);
  const std::size_t writes = 3 + 2 * set.frames.size();
  for (std::size_t failAt = 1; failAt <= writes; ++failAt) {
    SCOPED_TRACE(failAt);
    RecordingSink sink(failAt);
    EXPECT_FALSE(WriteIcoFile(set, sink));
    EXPECT_EQ(sink.sizes.size(), failAt) << "no write after the failed one";
    EXPECT_EQ(sink.written, Slice(whole, 0, sink.written.size()));
  }
}

TEST(IcoWriter, HeaderWritesTheLowSixteenBitsOfTheCount) {
  RecordingSink sink;
  ASSERT_TRUE(WriteIcoHeader(sink, 0x12345u));
  EXPECT_EQ(sink.written, (Bytes{0x00, 0x00, 0x01, 0x00, 0x45, 0x23}));
  EXPECT_EQ(sink.sizes, (std::vector<std::size_t>{2, 2, 2}));
  for (std::size_t failAt = 1; failAt <= 3; ++failAt) {
    RecordingSink failing(failAt);
    EXPECT_FALSE(WriteIcoHeader(failing, 1));
    EXPECT_EQ(failing.sizes.size(), failAt);
  }
}

TEST(IcoWriter, ImageOffsetsFollowTheDirectory) {
  IconSet set = TwoFourBitFrames();
  set.frames.push_back(MakeFrame(Bytes(5, 0xAB)));
  EXPECT_EQ(IcoImageOffset(set, 0), 6u + 16u * 3);
  EXPECT_EQ(IcoImageOffset(set, 1), 54u + 296);
  EXPECT_EQ(IcoImageOffset(set, 2), 54u + 296 + 744);
  EXPECT_EQ(IcoImageOffset(set, 3), 54u + 296 + 744 + 5);
  EXPECT_EQ(IcoImageOffset(IconSet{}, 0), 6u);
  // Every entry carries the offset where its image really lies.
  const Bytes file = WriteToMemory(set);
  for (std::size_t i = 0; i < set.frames.size(); ++i) {
    EXPECT_EQ(test::Get32At(file, 6 + 16 * i + 12), IcoImageOffset(set, i));
  }
  EXPECT_EQ(file.size(), IcoImageOffset(set, 3));
}

struct EntryCase {
  const char* name;
  DibSpec spec;
  std::uint8_t width, height, colorCount;
  std::uint16_t planes, bitCount;
};

class IcoEntryTable : public testing::TestWithParam<EntryCase> {};

TEST_P(IcoEntryTable, EntryComesFromTheImageHeader) {
  const EntryCase& c = GetParam();
  const IconFrame frame = MakeDibFrame(c.spec);
  const auto entry = IcoEntryFor(frame, 0x01020304u);
  EXPECT_EQ(entry[0], c.width);
  EXPECT_EQ(entry[1], c.height);
  EXPECT_EQ(entry[2], c.colorCount);
  EXPECT_EQ(entry[3], 0);
  EXPECT_EQ(entry[4] | entry[5] << 8, c.planes);
  EXPECT_EQ(entry[6] | entry[7] << 8, c.bitCount);
  const Bytes bytes(entry.begin(), entry.end());
  EXPECT_EQ(test::Get32At(bytes, 8), frame.imageSize());
  EXPECT_EQ(test::Get32At(bytes, 12), 0x01020304u);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, IcoEntryTable,
    testing::Values(
        EntryCase{"mono", {.width = 32, .height = 32, .bitCount = 1}, 32, 32, 2, 1, 1},
        EntryCase{"twoBit", {.width = 16, .height = 16, .bitCount = 2}, 16, 16, 4, 1, 2},
        EntryCase{"fourBit", {.width = 16, .height = 16, .bitCount = 4}, 16, 16, 16, 1, 4},
        EntryCase{"eightBit", {.width = 48, .height = 48, .bitCount = 8}, 48, 48, 0, 1, 8},
        EntryCase{"trueColour", {.width = 24, .height = 24, .bitCount = 24}, 24, 24, 0, 1, 24},
        EntryCase{"alpha", {.width = 32, .height = 32, .bitCount = 32}, 32, 32, 0, 1, 32},
        EntryCase{"twoPlanes", {.width = 16, .height = 16, .bitCount = 4, .planes = 2}, 16, 16, 0, 2, 4},
        EntryCase{"noPlanes", {.width = 16, .height = 16, .bitCount = 4, .planes = 0}, 16, 16, 1, 0, 4},
        EntryCase{"large", {.width = 256, .height = 256, .bitCount = 32}, 0, 0, 0, 1, 32},
        EntryCase{"wide", {.width = 300, .height = 20, .bitCount = 8}, 300 & 0xFF, 20, 0, 1, 8}),
    [](const testing::TestParamInfo<EntryCase>& row) { return std::string(row.param.name); });

TEST(IcoWriter, DamagedDepthFieldsAreCopiedAsTheyAre) {
  Bytes header(40, 0);
  test::Put32At(header, 0, 40);
  test::Put16At(header, 12, 0xFFFF);
  test::Put16At(header, 14, 0xFFFF);
  const auto entry = IcoEntryFor(MakeFrame(header), 22);
  EXPECT_EQ(entry[2], 0) << "planes x bit count is far above 8";
  EXPECT_EQ(Bytes(entry.begin() + 4, entry.begin() + 8), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(IcoWriter, SizeImageIsWrittenAsZeroAndTheFrameKeepsIt) {
  const IconSet set = MakeSet({MakeDibFrame({.width = 16, .height = 16, .bitCount = 4, .sizeImage = 192}),
                               MakeDibFrame({.width = 32, .height = 32, .bitCount = 8, .sizeImage = 0xDEADBEEF})});
  const Bytes before0 = set.frames[0].imageData;
  const Bytes before1 = set.frames[1].imageData;
  const Bytes file = WriteToMemory(set);
  for (std::size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    const Bytes& original = i == 0 ? before0 : before1;
    Bytes expected = original;
    test::Put32At(expected, 20, 0);
    EXPECT_EQ(Slice(file, IcoImageOffset(set, i), original.size()), expected);
  }
  EXPECT_EQ(set.frames[0].imageData, before0);
  EXPECT_EQ(set.frames[1].imageData, before1);
  EXPECT_EQ(test::Get32At(set.frames[1].imageData, 20), 0xDEADBEEFu);
}

TEST(IcoWriter, ImagesTooShortForTheSizeFieldAreWrittenUnchanged) {
  for (std::size_t size : {0u, 1u, 12u, 20u, 23u}) {
    SCOPED_TRACE(size);
    Bytes image(size);
    for (std::size_t i = 0; i < size; ++i) image[i] = static_cast<std::uint8_t>(0xF0 + i);
    const IconSet set = MakeSet({MakeFrame(image)});
    const Bytes file = WriteToMemory(set);
    ASSERT_EQ(file.size(), 22 + size);
    EXPECT_EQ(Slice(file, 22, size), image);
    EXPECT_EQ(test::Get32At(file, 6 + 8), size);
  }
  // 24 bytes hold the field: it is cleared, nothing else changes.
  Bytes image(24, 0x77);
  const Bytes file = WriteToMemory(MakeSet({MakeFrame(image)}));
  test::Put32At(image, 20, 0);
  EXPECT_EQ(Slice(file, 22, 24), image);
}

struct PngCase {
  const char* name;
  std::uint32_t width, height;
  std::uint8_t bitDepth, colorType;
  std::uint8_t entryWidth, entryHeight;
  std::uint16_t bitCount;
};

class PngEntryTable : public testing::TestWithParam<PngCase> {};

TEST_P(PngEntryTable, EntryComesFromTheHeaderChunkAndBytesStay) {
  const PngCase& c = GetParam();
  const Bytes png = test::MakePngImage(c.width, c.height, c.bitDepth, c.colorType);
  const IconSet set = MakeSet({MakeFrame(png)});
  const Bytes file = WriteToMemory(set);
  ASSERT_EQ(file.size(), 22 + png.size());
  EXPECT_EQ(file[6], c.entryWidth);
  EXPECT_EQ(file[7], c.entryHeight);
  EXPECT_EQ(file[8], 0) << "colour count";
  EXPECT_EQ(file[9], 0);
  EXPECT_EQ(file[10] | file[11] << 8, 1) << "planes";
  EXPECT_EQ(file[12] | file[13] << 8, c.bitCount);
  EXPECT_EQ(test::Get32At(file, 14), png.size());
  EXPECT_EQ(test::Get32At(file, 18), 22u);
  EXPECT_EQ(Slice(file, 22, png.size()), png) << "the PNG's own height at bytes 20-23 stays";
}

INSTANTIATE_TEST_SUITE_P(
    Mend, PngEntryTable,
    testing::Values(PngCase{"rgba256", 256, 256, 8, 6, 0, 0, 32},
                    PngCase{"rgb48", 48, 48, 8, 2, 48, 48, 24},
                    PngCase{"palette64", 64, 64, 8, 3, 64, 64, 8},
                    PngCase{"palette4bit", 32, 32, 4, 3, 32, 32, 4},
                    PngCase{"grey", 16, 16, 8, 0, 16, 16, 8},
                    PngCase{"greyAlpha", 24, 24, 8, 4, 24, 24, 16},
                    PngCase{"rgba16bit", 128, 96, 16, 6, 128, 96, 64},
                    PngCase{"unknownColourType", 40, 40, 8, 5, 40, 40, 0}),
    [](const testing::TestParamInfo<PngCase>& row) { return std::string(row.param.name); });

TEST(IcoWriter, TruncatedPngGetsAnEntryThatClaimsNothing) {
  const Bytes png = test::MakePngImage(48, 48, 8, 6);
  Bytes notIhdr = png;
  notIhdr[12] = 'i';
  for (const Bytes& image : {Slice(png, 0, 8), Slice(png, 0, 20), Slice(png, 0, 25), notIhdr}) {
    SCOPED_TRACE(image.size());
    const Bytes file = WriteToMemory(MakeSet({MakeFrame(image)}));
    ASSERT_EQ(file.size(), 22 + image.size());
    EXPECT_EQ(Slice(file, 6, 8), (Bytes{0, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(test::Get32At(file, 14), image.size());
    EXPECT_EQ(Slice(file, 22, image.size()), image);
  }
  // 26 bytes hold the whole of width, height, depth and colour type.
  const Bytes file = WriteToMemory(MakeSet({MakeFrame(Slice(png, 0, 26))}));
  EXPECT_EQ(Slice(file, 6, 8), (Bytes{48, 48, 0, 0, 1, 0, 32, 0}));
}

TEST(IcoWriter, MixedBitmapAndPngSet) {
  const Bytes png = test::MakePngImage(256, 256, 8, 6);
  const IconSet set = MakeSet({MakeDibFrame({.width = 32, .height = 32, .bitCount = 32, .sizeImage = 4096}),
                               MakeFrame(png)});
  const Bytes file = WriteToMemory(set);
  EXPECT_EQ(Slice(file, IcoImageOffset(set, 1), png.size()), png);
  EXPECT_EQ(test::Get32At(file, IcoImageOffset(set, 0) + 20), 0u);
  EXPECT_EQ(file.size(), IcoImageOffset(set, 2));
}

class IcoFileOutput : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::FreshTempDir(std::string("ico_writer_") + testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  std::string dir_;
};

TEST_F(IcoFileOutput, SavedFileHoldsWhatTheWriterWrites) {
  const IconSet set = TwoFourBitFrames();
  const std::string path = dir_ + "/two.ico";
  ASSERT_TRUE(SaveIcoFile(set, path));
  EXPECT_EQ(test::AsBytes(test::ReadFileBytes(path)), WriteToMemory(set));

  const std::string empty = dir_ + "/empty.ico";
  ASSERT_TRUE(SaveIcoFile(IconSet{}, empty));
  EXPECT_EQ(test::ReadFileBytes(empty), std::string("\0\0\1\0\0\0", 6));
}

TEST_F(IcoFileOutput, OverwritingReplacesTheWholeContent) {
  const std::string path = dir_ + "/over.ico";
  ASSERT_TRUE(test::WriteFileBytes(path, std::string(5000, 'x')));
  ASSERT_TRUE(SaveIcoFile(IconSet{}, path));
  EXPECT_EQ(test::ReadFileBytes(path).size(), 6u);
}

TEST_F(IcoFileOutput, MissingFolderWritesNothing) {
  const std::string path = dir_ + "/no such folder/a.ico";
  EXPECT_FALSE(SaveIcoFile(TwoFourBitFrames(), path));
  EXPECT_FALSE(test::FileExists(path));
}

TEST_F(IcoFileOutput, ReadingBackGivesTheFramesWithSizeImageCleared) {
  const IconSet set = MakeSet({MakeDibFrame({.width = 16, .height = 16, .bitCount = 1, .sizeImage = 64, .seed = 3}),
                               MakeDibFrame({.width = 48, .height = 48, .bitCount = 8, .sizeImage = 2304, .seed = 4}),
                               MakeFrame(test::MakePngImage(256, 256, 8, 6))});
  const std::string path = dir_ + "/back.ico";
  ASSERT_TRUE(SaveIcoFile(set, path));
  const auto back = LoadIcoFile(path);
  ASSERT_TRUE(back.has_value());
  ASSERT_EQ(back->imageCount(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    Bytes expected = set.frames[i].imageData;
    if (!set.frames[i].isPng()) test::Put32At(expected, 20, 0);
    EXPECT_EQ(back->frames[i].imageData, expected);
    EXPECT_EQ(back->frames[i].width, set.frames[i].width);
    EXPECT_EQ(back->frames[i].height, set.frames[i].height);
  }
}

#ifdef _WIN32
TEST_F(IcoFileOutput, FileHeldOpenByAnotherIsNotWritten) {
  const std::string path = dir_ + "/held.ico";
  ASSERT_TRUE(test::WriteFileBytes(path, "keep"));
  HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(SaveIcoFile(TwoFourBitFrames(), path));
  CloseHandle(held);
  EXPECT_EQ(test::ReadFileBytes(path), "keep");
}
#else
// icoutils reads the file independently of our reader.
std::string IcotoolList(const std::string& path) {
  std::string output;
  if (FILE* pipe = popen(("icotool -l '" + path + "' 2>/dev/null").c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    pclose(pipe);
  }
  return output;
}

TEST_F(IcoFileOutput, IcotoolListsTheWrittenImages) {
  const std::string path = dir_ + "/listed.ico";
  IconSet set = TwoFourBitFrames();
  set.frames.push_back(MakeDibFrame({.width = 48, .height = 48, .bitCount = 32}));
  set.frames.push_back(MakeFrame(test::MakePngImage(256, 256, 8, 6)));
  ASSERT_TRUE(SaveIcoFile(set, path));
  EXPECT_EQ(IcotoolList(path),
            "--icon --index=1 --width=16 --height=16 --bit-depth=4 --palette-size=16\n"
            "--icon --index=2 --width=32 --height=32 --bit-depth=4 --palette-size=16\n"
            "--icon --index=3 --width=48 --height=48 --bit-depth=32 --palette-size=0\n"
            "--icon --index=4 --width=256 --height=256 --bit-depth=32 --palette-size=0\n");
}
#endif

}  // namespace
}  // namespace brimlet
