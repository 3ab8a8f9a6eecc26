// FileView over memory and over a file read on demand: the same answers for
// the same bytes, at block edges and at the end of the file, and nothing read
// past the end.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "file_view.h"
#include "support/test_paths.h"

namespace brimlet {
namespace {

std::vector<std::uint8_t> Pattern(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 131 + (i >> 8));
  return bytes;
}

class FileViewTest : public testing::Test {
 protected:
  void SetUp() override {
    bytes_ = Pattern(3 * 4096 + 123);
    path_ = test::FreshTempDir("file_view") + "/data.bin";
    ASSERT_TRUE(test::WriteFileBytes(path_, bytes_.data(), bytes_.size()));
    auto file = RandomAccessFile::Open(path_);
    ASSERT_TRUE(file);
    reader_ = std::make_unique<FileReader>(std::move(*file));
  }
  std::vector<std::uint8_t> bytes_;
  std::string path_;
  std::unique_ptr<FileReader> reader_;
};

TEST_F(FileViewTest, FileAndMemoryGiveTheSameFields) {
  const FileView file(*reader_);
  const FileView memory{ByteSpan(bytes_)};
  ASSERT_EQ(file.size(), bytes_.size());
  const std::uint64_t size = bytes_.size();
  // Every offset around the block edges and the end, every width.
  std::vector<std::uint64_t> offsets = {0, 1, 2, 3, size - 8, size - 4, size - 2, size - 1, size, size + 1,
                                        UINT64_MAX - 1, UINT64_MAX};
  for (std::uint64_t edge : {4096u, 8192u, 12288u}) {
    for (std::uint64_t d = 0; d < 9; ++d) offsets.push_back(edge - 8 + d);
  }
  for (const std::uint64_t at : offsets) {
    SCOPED_TRACE(at);
    EXPECT_EQ(file.u8(at), memory.u8(at));
    EXPECT_EQ(file.u16(at), memory.u16(at));
    EXPECT_EQ(file.u32(at), memory.u32(at));
    EXPECT_EQ(file.u64(at), memory.u64(at));
  }
  EXPECT_EQ(file.u32(4094), std::uint32_t{bytes_[4094]} | std::uint32_t{bytes_[4095]} << 8 |
                                std::uint32_t{bytes_[4096]} << 16 | std::uint32_t{bytes_[4097]} << 24);
  EXPECT_FALSE(file.u16(size - 1));
}

TEST_F(FileViewTest, WindowsReadRelativeToTheirStartAndStayInside) {
  const FileView file(*reader_);
  const auto window = file.sub(4000, 200);
  ASSERT_TRUE(window);
  EXPECT_EQ(window->size(), 200u);
  EXPECT_EQ(window->u8(0), bytes_[4000]);
  EXPECT_EQ(window->u16(198), static_cast<std::uint16_t>(bytes_[4198] | bytes_[4199] << 8));
  EXPECT_FALSE(window->u16(199));  // one byte past the window, though inside the file
  EXPECT_FALSE(window->sub(100, 101));
  EXPECT_FALSE(file.sub(bytes_.size(), 1));
  EXPECT_FALSE(file.sub(1, UINT64_MAX));
  EXPECT_TRUE(file.sub(bytes_.size(), 0));
  const auto tail = file.from(bytes_.size() - 3);
  ASSERT_TRUE(tail);
  EXPECT_EQ(tail->size(), 3u);
}

TEST_F(FileViewTest, BytesAndCopiesHoldTheWindow) {
  const FileView file(*reader_);
  const auto window = file.sub(4090, 5000);
  ASSERT_TRUE(window);
  const auto held = window->bytes();
  ASSERT_TRUE(held);
  EXPECT_EQ(held->copy(), std::vector<std::uint8_t>(bytes_.begin() + 4090, bytes_.begin() + 9090));
  const auto copied = window->copy();
  ASSERT_TRUE(copied);
  EXPECT_EQ(*copied, held->copy());
  const auto empty = file.sub(10, 0);
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->bytes());
  EXPECT_TRUE(empty->bytes()->empty());
}

TEST(FileViewFile, MissingFileDoesNotOpen) {
  EXPECT_FALSE(RandomAccessFile::Open(test::FreshTempDir("file_view_missing") + "/none.bin"));
}

TEST(FileViewFile, EmptyFileHasNothingToRead) {
  const std::string path = test::FreshTempDir("file_view_empty") + "/empty.bin";
  ASSERT_TRUE(test::WriteFileBytes(path, std::string()));
  auto file = RandomAccessFile::Open(path);
  ASSERT_TRUE(file);
  const FileReader reader(std::move(*file));
  const FileView view(reader);
  EXPECT_EQ(view.size(), 0u);
  EXPECT_FALSE(view.u8(0));
  EXPECT_TRUE(view.copy());
}

}  // namespace
}  // namespace brimlet
