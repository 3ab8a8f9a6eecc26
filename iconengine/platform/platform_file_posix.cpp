#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <utility>

#include "platform_file.h"

namespace brimlet {

namespace {
int Fd(std::intptr_t handle) { return static_cast<int>(handle); }
}  // namespace

std::optional<OutputFile> OutputFile::Create(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return std::nullopt;
  return OutputFile(fd);
}
OutputFile::OutputFile(OutputFile&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}
OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, -1);
  }
  return *this;
}
OutputFile::~OutputFile() { Close(); }
void OutputFile::Close() {
  if (handle_ >= 0) ::close(Fd(handle_));
  handle_ = -1;
}
bool OutputFile::Write(ByteSpan bytes) {
  if (bytes.empty()) return true;
  ssize_t written;
  do {
    written = ::write(Fd(handle_), bytes.data(), bytes.size());
  } while (written < 0 && errno == EINTR);
  return written >= 0 && static_cast<std::size_t>(written) == bytes.size();
}

std::optional<InputFile> InputFile::Open(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  InputFile file(fd);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return file;
}
InputFile::InputFile(InputFile&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}
InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, -1);
  }
  return *this;
}
InputFile::~InputFile() { Close(); }
void InputFile::Close() {
  if (handle_ >= 0) ::close(Fd(handle_));
  handle_ = -1;
}
std::optional<std::uint32_t> InputFile::Read(std::uint8_t* buffer, std::uint32_t size) {
  if (size == 0) return 0u;
  ssize_t got;
  do {
    got = ::read(Fd(handle_), buffer, size);
  } while (got < 0 && errno == EINTR);
  if (got < 0) return std::nullopt;
  return static_cast<std::uint32_t>(got);
}
bool InputFile::ReadExact(std::uint8_t* buffer, std::uint32_t size) {
  const auto got = Read(buffer, size);
  return got && *got == size;
}
bool InputFile::Seek(std::uint32_t offset) {
  return ::lseek(Fd(handle_), static_cast<off_t>(offset), SEEK_SET) >= 0;
}
std::optional<std::uint64_t> InputFile::Length() const {
  struct stat info {};
  if (::fstat(Fd(handle_), &info) != 0 || info.st_size < 0) return std::nullopt;
  return static_cast<std::uint64_t>(info.st_size);
}

std::optional<RandomAccessFile> RandomAccessFile::Open(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  RandomAccessFile file(fd, 0);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) return std::nullopt;
  file.size_ = static_cast<std::uint64_t>(info.st_size);
  return file;
}
RandomAccessFile::RandomAccessFile(RandomAccessFile&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), size_(std::exchange(other.size_, 0)) {}
RandomAccessFile& RandomAccessFile::operator=(RandomAccessFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, -1);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}
RandomAccessFile::~RandomAccessFile() { Close(); }
void RandomAccessFile::Close() {
  if (handle_ >= 0) ::close(Fd(handle_));
  handle_ = -1;
}
bool RandomAccessFile::ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t size) const {
  while (size > 0) {
    if (offset > static_cast<std::uint64_t>(INT64_MAX)) return false;
    const ssize_t got = ::pread(Fd(handle_), buffer, size, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    const auto count = static_cast<std::size_t>(got);
    buffer += count;
    size -= count;
    offset += count;
  }
  return true;
}


}  // namespace brimlet
