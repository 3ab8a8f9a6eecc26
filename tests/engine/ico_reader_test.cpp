#include "ico_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "engine/dib_fixtures.h"
#include "ico_writer.h"
#include "support/test_paths.h"

#ifdef _WIN32
#include <windows.h>
#endif

// The largest single allocation since the last reset, so a test can tell that
// a damaged file was refused before its claimed image size was allocated.
namespace {
std::atomic<std::size_t> largestAllocation{0};

void* Allocate(std::size_t size) {
  std::size_t seen = largestAllocation.load(std::memory_order_relaxed);
  while (size > seen && !largestAllocation.compare_exchange_weak(seen, size, std::memory_order_relaxed)) {
  }
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

namespace brimlet {
namespace {

using test::Bytes;
using test::DibSpec;
using test::MakeDibImage;

struct Entry {
  std::uint32_t size;
  std::uint32_t offset;
  std::uint8_t width = 0, height = 0, colorCount = 0;
  std::uint16_t planes = 0, bitCount = 0;
};

// An ICO file's header and directory; images are placed by the caller.
Bytes IcoHead(std::uint16_t reserved, std::uint16_t type, std::uint16_t count, const std::vector<Entry>& entries) {
  Bytes out;
  PutU16(out, reserved);
  PutU16(out, type);
  PutU16(out, count);
  for (const Entry& e : entries) {
    out.push_back(e.width);
    out.push_back(e.height);
    out.push_back(e.colorCount);
    out.push_back(0);
    PutU16(out, e.planes);
    PutU16(out, e.bitCount);
    PutU32(out, e.size);
    PutU32(out, e.offset);
  }
  return out;
}

void PlaceAt(Bytes& file, std::size_t offset, const Bytes& image) {
  if (file.size() < offset + image.size()) file.resize(offset + image.size());
  std::copy(image.begin(), image.end(), file.begin() + static_cast<std::ptrdiff_t>(offset));
}

class IcoReader : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::FreshTempDir(std::string("ico_reader_") + testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  std::string Put(const std::string& name, const Bytes& bytes) {
    const std::string path = dir_ + "/" + name;
    EXPECT_TRUE(test::WriteFileBytes(path, bytes.data(), bytes.size()));
    return path;
  }
  std::string dir_;
};

TEST_F(IcoReader, EmptyIconFileGivesASetWithoutFrames) {
  const std::string path = Put("empty.ico", {0, 0, 1, 0, 0, 0});
  const auto set = LoadIcoFile(path);
  ASSERT_TRUE(set.has_value());
  EXPECT_EQ(set->imageCount(), 0u);
  EXPECT_EQ(set->fileName, path);
  EXPECT_TRUE(set->modulePath.empty());
}

TEST_F(IcoReader, ReadsEachImageAtItsOffsetAndBindsIt) {
  const Bytes small = MakeDibImage({.width = 16, .height = 16, .bitCount = 4, .seed = 1});
  const Bytes large = MakeDibImage({.width = 32, .height = 32, .bitCount = 8, .sizeImage = 1024, .seed = 2});
  const auto smallSize = static_cast<std::uint32_t>(small.size());
  const auto largeSize = static_cast<std::uint32_t>(large.size());
  Bytes file = IcoHead(0, 1, 2, {{smallSize, 38}, {largeSize, 38 + smallSize}});
  PlaceAt(file, 38, small);
  PlaceAt(file, 38 + small.size(), large);
  const auto set = LoadIcoFile(Put("two.ico", file));
  ASSERT_TRUE(set.has_value());
  ASSERT_EQ(set->imageCount(), 2u);
  EXPECT_EQ(set->frames[0].imageData, small);
  EXPECT_EQ(set->frames[1].imageData, large);
  EXPECT_EQ(set->frames[0].width, 16);
  EXPECT_EQ(set->frames[0].height, 16);
  EXPECT_EQ(set->frames[0].bitsPerPixel, 4);
  EXPECT_EQ(set->frames[0].colorBits, 104);
  EXPECT_EQ(set->frames[0].maskBits, 232);
  EXPECT_EQ(set->frames[1].bitsPerPixel, 8);
  EXPECT_EQ(set->frames[1].header.biSizeImage, 1024u) << "bytes are kept as stored";
}

TEST_F(IcoReader, WrongHeadersAreRefused) {
  struct Case {
    const char* name;
    Bytes bytes;
  };
  const Case cases[] = {
      {"cursor", {0, 0, 2, 0, 0, 0}},
      {"reservedOne", {1, 0, 1, 0, 0, 0}},
      {"typeZero", {0, 0, 0, 0, 0, 0}},
      {"typeHighByte", {0, 0, 1, 1, 0, 0}},
      {"emptyFile", {}},
      {"oneByte", {0}},
      {"threeBytes", {0, 0, 1}},
      {"fiveBytes", {0, 0, 1, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(LoadIcoFile(Put(std::string(c.name) + ".ico", c.bytes)).has_value());
  }
}

TEST_F(IcoReader, HeaderReadsThreeFieldsFromTheStart) {
  const std::string path = Put("count.ico", {0, 0, 1, 0, 0x34, 0x12, 0xFF});
  auto file = InputFile::Open(path);
  ASSERT_TRUE(file.has_value());
  EXPECT_EQ(ReadIcoHeader(*file), std::optional<std::uint16_t>(0x1234));
  // The reader is left just after the header.
  std::uint8_t next = 0;
  EXPECT_TRUE(file->ReadExact(&next, 1));
  EXPECT_EQ(next, 0xFF);
}

TEST_F(IcoReader, CutDirectoryIsRefused) {
  const Bytes image = MakeDibImage({.width = 16, .height = 16, .bitCount = 4});
  Bytes whole = IcoHead(0, 1, 2, {{296, 38}, {296, 38}});
  PlaceAt(whole, 38, image);
  ASSERT_TRUE(LoadIcoFile(Put("whole.ico", whole)).has_value());
  for (std::size_t length : {6u, 7u, 21u, 22u, 37u}) {
    SCOPED_TRACE(length);
    const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
    EXPECT_FALSE(LoadIcoFile(Put("cut.ico", cut)).has_value());
  }
}

TEST_F(IcoReader, ImagesOutsideTheFileAreRefused) {
  const Bytes image = MakeDibImage({.width = 16, .height = 16, .bitCount = 4});
  struct Case {
    const char* name;
    Entry second;
  };
  // The file is 38 + 296 = 334 bytes long; the first entry is always sound.
  const Case cases[] = {
      {"offsetPastTheEnd", {16, 400}},
      {"offsetJustPastTheEnd", {0, 335}},
      {"endOneBytePastTheEnd", {297, 38}},
      {"endWrapsAt4G", {0xFFFFFFF0u, 0x20}},
      {"offsetNear4G", {8, 0xFFFFFFFCu}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes file = IcoHead(0, 1, 2, {{296, 38}, c.second});
    PlaceAt(file, 38, image);
    EXPECT_FALSE(LoadIcoFile(Put("outside.ico", file)).has_value());
  }
  // An empty image right at the end of the file is inside it.
  Bytes file = IcoHead(0, 1, 2, {{296, 38}, {0, 334}});
  PlaceAt(file, 38, image);
  const auto set = LoadIcoFile(Put("atEnd.ico", file));
  ASSERT_TRUE(set.has_value());
  EXPECT_TRUE(set->frames[1].imageData.empty());
}

TEST_F(IcoReader, HugeClaimFailsWithoutAllocating) {
  Bytes file = IcoHead(0, 1, 1, {{0xFFFFFFFFu, 22}});
  file.resize(30, 0xAA);
  const std::string path = Put("claim.ico", file);
  largestAllocation = 0;
  EXPECT_FALSE(LoadIcoFile(path).has_value());
  EXPECT_LT(largestAllocation.load(), std::size_t{1} << 20);
}

TEST_F(IcoReader, ImagesStoredInReverseOrderComeInDirectoryOrder) {
  const Bytes first = MakeDibImage({.width = 16, .height = 16, .bitCount = 4, .seed = 5});
  const Bytes second = MakeDibImage({.width = 16, .height = 16, .bitCount = 4, .seed = 6});
  Bytes file = IcoHead(0, 1, 2, {{296, 38 + 296}, {296, 38}});
  PlaceAt(file, 38, second);
  PlaceAt(file, 38 + 296, first);
  const auto set = LoadIcoFile(Put("reverse.ico", file));
  ASSERT_TRUE(set.has_value());
  EXPECT_EQ(set->frames[0].imageData, first);
  EXPECT_EQ(set->frames[1].imageData, second);
}

TEST_F(IcoReader, EntriesNamingTheSameBytesGetTheirOwnCopies) {
  const Bytes image = MakeDibImage({.width = 16, .height = 16, .bitCount = 4});
  Bytes file = IcoHead(0, 1, 2, {{296, 38}, {296, 38}});
  PlaceAt(file, 38, image);
  auto set = LoadIcoFile(Put("shared.ico", file));
  ASSERT_TRUE(set.has_value());
  EXPECT_EQ(set->frames[0].imageData, image);
  EXPECT_EQ(set->frames[1].imageData, image);
  EXPECT_NE(set->frames[0].imageData.data(), set->frames[1].imageData.data());
}

TEST_F(IcoReader, FramesTakeTheImagesValuesNotTheDirectorys) {
  const Bytes image = MakeDibImage({.width = 256, .height = 256, .bitCount = 32});
  const auto size = static_cast<std::uint32_t>(image.size());
  Bytes file = IcoHead(0, 1, 1, {{size, 22, 0, 0, 16, 3, 4}});
  PlaceAt(file, 22, image);
  const auto set = LoadIcoFile(Put("disagree.ico", file));
  ASSERT_TRUE(set.has_value());
  EXPECT_EQ(set->frames[0].width, 256);
  EXPECT_EQ(set->frames[0].height, 256);
  EXPECT_EQ(set->frames[0].bitsPerPixel, 32);
}

TEST_F(IcoReader, ShortAndForeignImagesAreReadUnchanged) {
  const Bytes tiny = {1, 2, 3, 4, 5};
  const Bytes png = test::MakePngImage(256, 256, 8, 6);
  const auto pngSize = static_cast<std::uint32_t>(png.size());
  Bytes file = IcoHead(0, 1, 3, {{0, 54}, {5, 54}, {pngSize, 59}});
  PlaceAt(file, 54, tiny);
  PlaceAt(file, 59, png);
  const auto set = LoadIcoFile(Put("odd.ico", file));
  ASSERT_TRUE(set.has_value());
  EXPECT_TRUE(set->frames[0].imageData.empty());
  EXPECT_EQ(set->frames[1].imageData, tiny);
  EXPECT_EQ(set->frames[2].imageData, png);
  EXPECT_TRUE(set->frames[2].isPng());
}

TEST_F(IcoReader, MissingFileGivesNone) {
  EXPECT_FALSE(LoadIcoFile(dir_ + "/absent.ico").has_value());
  EXPECT_FALSE(LoadIcoFile(dir_).has_value()) << "a folder is not an icon file";
}

#ifdef _WIN32
TEST_F(IcoReader, FileHeldOpenByAnotherGivesNone) {
  const std::string path = Put("held.ico", {0, 0, 1, 0, 0, 0});
  HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(LoadIcoFile(path).has_value());
  CloseHandle(held);
  EXPECT_TRUE(LoadIcoFile(path).has_value());
}
#endif

// Real icon files from Debian's packages (nsis ships a few dozen, some with
// 256-pixel PNG images) and others found on the machine.
std::vector<std::string> RealIconFiles() {
  namespace fs = std::filesystem;
  std::vector<std::string> found;
  std::error_code error;
  const auto addFolder = [&](const std::string& folder) {
    for (fs::directory_iterator it(test::NativePath(folder), error), end; !error && it != end; it.increment(error)) {
      if (it->path().extension() == ".ico") found.push_back(it->path().generic_string());
    }
  };
  addFolder("/usr/share/nsis/Contrib/Graphics/Icons");
  for (const char* folder : {"/usr/lib/python3.11/idlelib/Icons", "/usr/share/clang/scan-view-14/share"}) {
    addFolder(folder);
  }
  for (fs::directory_iterator it(test::NativePath("/root/.pyenv/versions"), error), end; !error && it != end;
       it.increment(error)) {
    std::error_code inner;
    for (fs::directory_iterator lib(it->path() / "lib", inner), libEnd; !inner && lib != libEnd;
         lib.increment(inner)) {
      const fs::path idle = lib->path() / "idlelib" / "Icons" / "idle.ico";
      if (fs::exists(idle, inner)) found.push_back(idle.generic_string());
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

// An independent look at a file's directory: each image's bytes.
std::vector<Bytes> ImagesOf(const Bytes& file) {
  std::vector<Bytes> images;
  if (file.size() < 6) return images;
  const std::size_t count = file[4] | std::size_t{file[5]} << 8;
  for (std::size_t i = 0; i < count && 6 + 16 * (i + 1) <= file.size(); ++i) {
    const std::uint32_t size = test::Get32At(file, 6 + 16 * i + 8);
    const std::uint32_t offset = test::Get32At(file, 6 + 16 * i + 12);
    if (std::uint64_t{offset} + size > file.size()) return {};
    const auto begin = file.begin() + static_cast<std::ptrdiff_t>(offset);
    images.emplace_back(begin, begin + static_cast<std::ptrdiff_t>(size));
  }
  return images;
}

bool IsPng(const Bytes& image) { return image.size() >= 8 && image[0] == 0x89 && image[1] == 'P'; }

#ifndef _WIN32
std::string IcotoolList(const std::string& path) {
  std::string output;
  if (FILE* pipe = popen(("icotool -l '" + path + "' 2>/dev/null").c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    pclose(pipe);
  }
  return output;
}
#endif

TEST_F(IcoReader, RealFilesSurviveReadingAndWritingAgain) {
  const auto files = RealIconFiles();
  ASSERT_GE(files.size(), 20u) << "nsis's icons are missing; tools/bootstrap.sh installs them";
  std::size_t pngImages = 0;
  for (std::size_t n = 0; n < files.size(); ++n) {
    const std::string& path = files[n];
    SCOPED_TRACE(path);
    const Bytes original = test::AsBytes(test::ReadFileBytes(path));
    const std::vector<Bytes> images = ImagesOf(original);
    ASSERT_FALSE(images.empty());

    const auto set = LoadIcoFile(path);
    ASSERT_TRUE(set.has_value());
    ASSERT_EQ(set->imageCount(), images.size());
    for (std::size_t i = 0; i < images.size(); ++i) EXPECT_EQ(set->frames[i].imageData, images[i]) << i;

    const std::string copy = dir_ + "/" + std::to_string(n) + ".ico";
    ASSERT_TRUE(SaveIcoFile(*set, copy));
    const std::vector<Bytes> written = ImagesOf(test::AsBytes(test::ReadFileBytes(copy)));
    ASSERT_EQ(written.size(), images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
      Bytes expected = images[i];
      if (IsPng(expected)) {
        ++pngImages;
      } else if (expected.size() >= 24) {
        test::Put32At(expected, 20, 0);
      }
      EXPECT_EQ(written[i], expected) << i;
    }
#ifndef _WIN32
    const std::string listed = IcotoolList(path);
    EXPECT_FALSE(listed.empty());
    EXPECT_EQ(IcotoolList(copy), listed);
#endif
  }
  EXPECT_GT(pngImages, 0u) << "some real files hold PNG images";
}

}  // namespace
}  // namespace brimlet
