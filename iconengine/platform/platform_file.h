// The engine's small platform layer for files. On Windows it is CreateFileA and
// friends with the share modes the engine promises; elsewhere the POSIX
// equivalents. Paths are byte strings in the ANSI code page, passed unchanged.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "../byte_sink.h"
#include "../byte_span.h"

namespace brimlet {

// A file created anew (an existing one is truncated), opened for writing
// without sharing. Closed when the owner goes.
class OutputFile final : public ByteSink {
 public:
  static std::optional<OutputFile> Create(const std::string& path);
  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&& other) noexcept;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile() override;

  // One write call; false when it failed or wrote fewer bytes.
  bool Write(ByteSpan bytes) override;

 private:
  explicit OutputFile(std::intptr_t handle) : handle_(handle) {}
  void Close();
  std::intptr_t handle_ = -1;
};

// An existing file opened for reading without sharing.
class InputFile {
 public:
  static std::optional<InputFile> Open(const std::string& path);
  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&& other) noexcept;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  // One read call of up to size bytes into buffer; the number of bytes read, or
  // nullopt when the read failed.
  std::optional<std::uint32_t> Read(std::uint8_t* buffer, std::uint32_t size);
  // True when exactly size bytes were read.
  bool ReadExact(std::uint8_t* buffer, std::uint32_t size);
  // Moves to an offset from the start of the file.
  bool Seek(std::uint32_t offset);
  std::optional<std::uint64_t> Length() const;

 private:
  explicit InputFile(std::intptr_t handle) : handle_(handle) {}
  void Close();
  std::intptr_t handle_ = -1;
};

// An existing file opened for reading at any offset, shared with other
// readers. Each ReadAt is one positioned read that leaves no file position
// behind. Closed when the owner goes.
class RandomAccessFile {
 public:
  static std::optional<RandomAccessFile> Open(const std::string& path);
  RandomAccessFile(RandomAccessFile&& other) noexcept;
  RandomAccessFile& operator=(RandomAccessFile&& other) noexcept;
  RandomAccessFile(const RandomAccessFile&) = delete;
  RandomAccessFile& operator=(const RandomAccessFile&) = delete;
  ~RandomAccessFile();

  // The file's length when it was opened.
  std::uint64_t size() const { return size_; }
  // Reads exactly size bytes at offset into buffer; false when they are not
  // all there or the read fails.
  bool ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t size) const;

 private:
  RandomAccessFile(std::intptr_t handle, std::uint64_t size) : handle_(handle), size_(size) {}
  void Close();
  std::intptr_t handle_ = -1;
  std::uint64_t size_ = 0;
};

}  // namespace brimlet
