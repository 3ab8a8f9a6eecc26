#include "bitmap_output.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/dib_fixtures.h"
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

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t length) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
               bytes.begin() + static_cast<std::ptrdiff_t>(from + length));
}

Bytes WriteToMemory(const IconFrame& frame) {
  RecordingSink sink;
  EXPECT_TRUE(WriteFrameAsBitmap(frame, sink));
  EXPECT_EQ(sink.sizes.size(), 2u);
  if (!sink.sizes.empty()) {
    EXPECT_EQ(sink.sizes[0], 14u);
  }
  return sink.written;
}

struct LayoutCase {
  const char* name;
  DibSpec spec;
  std::uint32_t bitsOffset;
  std::uint32_t fileSize;
};

class BitmapLayoutTable : public testing::TestWithParam<LayoutCase> {};

// The file is the 14-byte file header, then the image's own header (biHeight
// halved), colour table and colour bits; the mask is left out.
TEST_P(BitmapLayoutTable, FileIsHeaderTableAndColourBits) {
  const LayoutCase& c = GetParam();
  const IconFrame frame = MakeDibFrame(c.spec);
  const Bytes before = frame.imageData;
  const Bytes file = WriteToMemory(frame);
  ASSERT_EQ(file.size(), c.fileSize);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(test::Get32At(file, 2), c.fileSize);
  EXPECT_EQ(test::Get32At(file, 6), 0u);
  EXPECT_EQ(test::Get32At(file, 10), c.bitsOffset);
  Bytes expected = Slice(frame.imageData, 0, c.fileSize - 14);
  test::Put32At(expected, 8, static_cast<std::uint32_t>(c.spec.height));
  EXPECT_EQ(Slice(file, 14, c.fileSize - 14), expected);
  EXPECT_EQ(frame.imageData, before) << "the frame is not changed";
}

INSTANTIATE_TEST_SUITE_P(
    Rules, BitmapLayoutTable,
    testing::Values(LayoutCase{"fourBit32", {.width = 32, .height = 32, .bitCount = 4}, 118, 630},
                    LayoutCase{"eightBit48", {.width = 48, .height = 48, .bitCount = 8}, 1078, 3382},
                    LayoutCase{"alpha48", {.width = 48, .height = 48, .bitCount = 32}, 54, 9270},
                    LayoutCase{"eightBitSixteenColours",
                               {.width = 48, .height = 48, .bitCount = 8, .clrUsed = 16}, 118, 118 + 48 * 48},
                    LayoutCase{"mono16", {.width = 16, .height = 16, .bitCount = 1}, 62, 62 + 4 * 16},
                    LayoutCase{"trueColour20", {.width = 20, .height = 20, .bitCount = 24}, 54, 54 + 60 * 20},
                    LayoutCase{"keepsSizeImage", {.width = 16, .height = 16, .bitCount = 4, .sizeImage = 128}, 118,
                               118 + 8 * 16}),
    [](const testing::TestParamInfo<LayoutCase>& row) { return std::string(row.param.name); });

TEST(BitmapOutput, ThirtyTwoPixelFourBitFileStartsAsKnown) {
  const IconFrame frame = MakeDibFrame({.width = 32, .height = 32, .bitCount = 4});
  const Bytes file = WriteToMemory(frame);
  ASSERT_EQ(file.size(), 630u);
  EXPECT_EQ(Slice(file, 0, 14), (Bytes{0x42, 0x4D, 0x76, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x76, 0x00, 0x00, 0x00}));
  EXPECT_EQ(Slice(file, 22, 4), (Bytes{0x20, 0x00, 0x00, 0x00}));
  EXPECT_EQ(test::Get32At(frame.imageData, 8), 64u);
}

TEST(BitmapOutput, OddHeightIsHalvedTowardZero) {
  Bytes image = test::MakeDibImage({.width = 16, .height = 16, .bitCount = 4});
  test::Put32At(image, 8, 33);
  const Bytes file = WriteToMemory(MakeFrame(image));
  EXPECT_EQ(test::Get32At(file, 22), 16u);
  EXPECT_EQ(file.size(), 118u + 8 * 16);
}

TEST(BitmapOutput, ImageThatHoldsExactlyTheColourBitsIsEnough) {
  Bytes image = test::MakeDibImage({.width = 16, .height = 16, .bitCount = 4});
  image.resize(40 + 64 + 8 * 16);
  EXPECT_EQ(WriteToMemory(MakeFrame(image)).size(), 14u + image.size());
}

TEST(BitmapOutput, StopsAtTheFirstFailedWrite) {
  const IconFrame frame = MakeDibFrame({.width = 32, .height = 32, .bitCount = 4});
  for (std::size_t failAt = 1; failAt <= 2; ++failAt) {
    RecordingSink sink(failAt);
    EXPECT_FALSE(WriteFrameAsBitmap(frame, sink));
    EXPECT_EQ(sink.sizes.size(), failAt);
  }
}

// Frames whose header asks for bytes the image does not hold, or that have no
// bitmap at all: nothing is written.
struct RefusedCase {
  const char* name;
  Bytes image;
};

std::vector<RefusedCase> RefusedFrames() {
  std::vector<RefusedCase> cases;
  const Bytes sound = test::MakeDibImage({.width = 16, .height = 16, .bitCount = 4});
  Bytes negativeHeight = sound;
  test::Put32At(negativeHeight, 8, static_cast<std::uint32_t>(-32));
  cases.push_back({"negativeHeight", negativeHeight});
  Bytes negativeWidth = sound;
  test::Put32At(negativeWidth, 4, static_cast<std::uint32_t>(-16));
  cases.push_back({"negativeStride", negativeWidth});
  cases.push_back({"oneByteShort", Slice(sound, 0, 40 + 64 + 8 * 16 - 1)});
  Bytes tall = sound;
  test::Put32At(tall, 8, 0x7FFFFFFE);
  cases.push_back({"hugeHeight", tall});
  Bytes wide = sound;
  test::Put32At(wide, 4, 0x10000000);
  cases.push_back({"hugeWidth", wide});
  Bytes bigTable = sound;
  test::Put32At(bigTable, 32, 0x3FFF);  // 65532 bytes of colour table
  cases.push_back({"bigColourTable", bigTable});
  cases.push_back({"headerOnly", Slice(sound, 0, 40)});
  cases.push_back({"shorterThanHeader", Slice(sound, 0, 39)});
  cases.push_back({"empty", {}});
  cases.push_back({"png", test::MakePngImage(256, 256, 8, 6)});
  return cases;
}

TEST(BitmapOutput, RefusedFramesWriteNothing) {
  const std::string dir = test::FreshTempDir("bitmap_output_refused");
  for (const RefusedCase& c : RefusedFrames()) {
    SCOPED_TRACE(c.name);
    const IconFrame frame = MakeFrame(c.image);
    EXPECT_FALSE(BitmapLayoutOf(frame).has_value());
    RecordingSink sink;
    EXPECT_FALSE(WriteFrameAsBitmap(frame, sink));
    EXPECT_TRUE(sink.sizes.empty());
    const std::string path = dir + "/" + c.name + ".bmp";
    EXPECT_EQ(SaveFrameAsBitmap(path, frame), 0);
    EXPECT_FALSE(test::FileExists(path)) << "no file is created";
    EXPECT_EQ(frame.imageData, c.image);
  }
}

TEST(BitmapOutput, RefusedFrameLeavesAnExistingFileAlone) {
  const std::string dir = test::FreshTempDir("bitmap_output_existing");
  const std::string path = dir + "/kept.bmp";
  ASSERT_TRUE(test::WriteFileBytes(path, "earlier"));
  EXPECT_EQ(SaveFrameAsBitmap(path, MakeFrame(test::MakePngImage(48, 48, 8, 6))), 0);
  EXPECT_EQ(test::ReadFileBytes(path), "earlier");
}

TEST(BitmapOutput, SavedFileHoldsWhatTheWriterWrites) {
  const std::string dir = test::FreshTempDir("bitmap_output_saved");
  const IconFrame frame = MakeDibFrame({.width = 48, .height = 48, .bitCount = 8});
  const std::string path = dir + "/a.bmp";
  ASSERT_TRUE(test::WriteFileBytes(path, std::string(10000, 'x')));
  EXPECT_EQ(SaveFrameAsBitmap(path, frame), 1);
  EXPECT_EQ(test::AsBytes(test::ReadFileBytes(path)), WriteToMemory(frame));
  EXPECT_EQ(SaveFrameAsBitmap(dir + "/no such folder/a.bmp", frame), 0);
}

#ifdef _WIN32
TEST(BitmapOutput, FileHeldOpenByAnotherIsNotWritten) {
  const std::string dir = test::FreshTempDir("bitmap_output_held");
  const std::string path = dir + "/held.bmp";
  ASSERT_TRUE(test::WriteFileBytes(path, "keep"));
  HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(SaveFrameAsBitmap(path, MakeDibFrame({.width = 16, .height = 16, .bitCount = 4})), 0);
  CloseHandle(held);
  EXPECT_EQ(test::ReadFileBytes(path), "keep");
}

// Puts text on the clipboard, as another program would have.
void PutText(const char* text) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  const std::size_t size = std::strlen(text) + 1;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
  std::memcpy(GlobalLock(block), text, size);
  GlobalUnlock(block);
  EXPECT_NE(SetClipboardData(CF_TEXT, block), nullptr);
  CloseClipboard();
}

// The bytes the clipboard holds under format, or nothing.
std::optional<Bytes> ClipboardBytes(UINT format) {
  if (!OpenClipboard(nullptr)) return std::nullopt;
  std::optional<Bytes> bytes;
  if (HANDLE data = GetClipboardData(format)) {
    const auto* p = static_cast<const std::uint8_t*>(GlobalLock(data));
    if (p != nullptr) {
      bytes = Bytes(p, p + GlobalSize(data));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return bytes;
}

TEST(Clipboard, FrameIsPlacedAsDibWithHalfTheHeight) {
  PutText("earlier");
  const IconFrame frame = MakeDibFrame({.width = 32, .height = 32, .bitCount = 4, .sizeImage = 512});
  const Bytes before = frame.imageData;
  EXPECT_EQ(CopyFrameToClipboard(frame), 1);
  EXPECT_EQ(frame.imageData, before);

  const auto dib = ClipboardBytes(CF_DIB);
  ASSERT_TRUE(dib.has_value());
  ASSERT_EQ(dib->size(), frame.imageSize()) << "mask bits included";
  Bytes expected = frame.imageData;
  test::Put32At(expected, 8, 32);
  EXPECT_EQ(*dib, expected) << "biSizeImage kept";
  EXPECT_FALSE(ClipboardBytes(CF_TEXT).has_value()) << "the clipboard was emptied first";
}

TEST(Clipboard, EmptyOrShortImageLeavesTheClipboardEmpty) {
  for (std::size_t size : {0u, 1u, 11u}) {
    SCOPED_TRACE(size);
    PutText("earlier");
    EXPECT_EQ(CopyFrameToClipboard(MakeFrame(Bytes(size, 0x40))), 0);
    EXPECT_EQ(CountClipboardFormats(), 0);
  }
  // Twelve bytes hold biHeight.
  Bytes twelve(12, 0);
  test::Put32At(twelve, 8, 64);
  EXPECT_EQ(CopyFrameToClipboard(MakeFrame(twelve)), 1);
  const auto dib = ClipboardBytes(CF_DIB);
  ASSERT_TRUE(dib.has_value());
  ASSERT_EQ(dib->size(), 12u);
  EXPECT_EQ(test::Get32At(*dib, 8), 32u);
}

TEST(Clipboard, PngFrameLeavesTheClipboardAlone) {
  PutText("earlier");
  EXPECT_EQ(CopyFrameToClipboard(MakeFrame(test::MakePngImage(256, 256, 8, 6))), 0);
  const auto text = ClipboardBytes(CF_TEXT);
  ASSERT_TRUE(text.has_value());
  EXPECT_STREQ(reinterpret_cast<const char*>(text->data()), "earlier");
}

// Another window holds the clipboard open on its own thread meanwhile.
TEST(Clipboard, ClipboardHeldByAnotherGivesZeroAndKeepsItsContent) {
  PutText("earlier");
  std::mutex mutex;
  std::condition_variable changed;
  bool holding = false;
  bool done = false;
  bool opened = false;
  std::thread holder([&] {
    HWND window = CreateWindowExA(0, "STATIC", "holder", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    opened = window != nullptr && OpenClipboard(window);
    {
      std::lock_guard<std::mutex> lock(mutex);
      holding = true;
    }
    changed.notify_all();
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return done; });
    if (opened) CloseClipboard();
    if (window != nullptr) DestroyWindow(window);
  });
  {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return holding; });
  }
  const std::int32_t result = CopyFrameToClipboard(MakeDibFrame({.width = 16, .height = 16, .bitCount = 4}));
  {
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
  }
  changed.notify_all();
  holder.join();
  ASSERT_TRUE(opened);
  EXPECT_EQ(result, 0);
  const auto text = ClipboardBytes(CF_TEXT);
  ASSERT_TRUE(text.has_value());
  EXPECT_STREQ(reinterpret_cast<const char*>(text->data()), "earlier");
  EXPECT_FALSE(ClipboardBytes(CF_DIB).has_value());
}
#else
// ImageMagick reads the files independently of our writer.
std::string Identify(const std::string& path) {
  std::string output;
  if (FILE* pipe = popen(("identify -format '%w %h %z' '" + path + "' 2>&1").c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    pclose(pipe);
  }
  return output;
}

TEST(BitmapOutput, ImageMagickReadsTheWrittenFiles) {
  const std::string dir = test::FreshTempDir("bitmap_output_identify");
  const struct {
    DibSpec spec;
    const char* expected;
  } cases[] = {
      {{.width = 32, .height = 32, .bitCount = 4}, "32 32 4"},
      {{.width = 48, .height = 48, .bitCount = 8}, "48 48 8"},
      {{.width = 48, .height = 48, .bitCount = 32}, "48 48 8"},
      {{.width = 16, .height = 16, .bitCount = 1}, "16 16 1"},
      {{.width = 20, .height = 20, .bitCount = 24}, "20 20 8"},
  };
  for (const auto& c : cases) {
    const std::string path = dir + "/" + std::to_string(c.spec.width) + "_" + std::to_string(c.spec.bitCount) + ".bmp";
    SCOPED_TRACE(path);
    ASSERT_EQ(SaveFrameAsBitmap(path, MakeDibFrame(c.spec)), 1);
    EXPECT_EQ(Identify(path), c.expected);
  }
}

TEST(Clipboard, ThisSystemHasNoClipboard) {
  EXPECT_EQ(CopyFrameToClipboard(MakeDibFrame({.width = 16, .height = 16, .bitCount = 4})), 0);
  EXPECT_EQ(CopyFrameToClipboard(MakeFrame({})), 0);
}
#endif

}  // namespace
}  // namespace brimlet
