#include <windows.h>

#include <utility>

#include "platform_file.h"

namespace brimlet {

namespace {
HANDLE ToHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
std::intptr_t FromHandle(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }
const std::intptr_t kNoHandle = FromHandle(INVALID_HANDLE_VALUE);
}  // namespace

std::optional<OutputFile> OutputFile::Create(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  return OutputFile(FromHandle(file));
}
OutputFile::OutputFile(OutputFile&& other) noexcept : handle_(std::exchange(other.handle_, kNoHandle)) {}
OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, kNoHandle);
  }
  return *this;
}
OutputFile::~OutputFile() { Close(); }
void OutputFile::Close() {
  if (handle_ != kNoHandle && handle_ != -1) CloseHandle(ToHandle(handle_));
  handle_ = kNoHandle;
}
bool OutputFile::Write(ByteSpan bytes) {
  if (bytes.size() > MAXDWORD) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(ToHandle(handle_), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  return ok && written == bytes.size();
}

std::optional<InputFile> InputFile::Open(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  return InputFile(FromHandle(file));
}
InputFile::InputFile(InputFile&& other) noexcept : handle_(std::exchange(other.handle_, kNoHandle)) {}
InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, kNoHandle);
  }
  return *this;
}
InputFile::~InputFile() { Close(); }
void InputFile::Close() {
  if (handle_ != kNoHandle && handle_ != -1) CloseHandle(ToHandle(handle_));
  handle_ = kNoHandle;
}
std::optional<std::uint32_t> InputFile::Read(std::uint8_t* buffer, std::uint32_t size) {
  DWORD got = 0;
  if (!ReadFile(ToHandle(handle_), buffer, size, &got, nullptr)) return std::nullopt;
  return static_cast<std::uint32_t>(got);
}
bool InputFile::ReadExact(std::uint8_t* buffer, std::uint32_t size) {
  const auto got = Read(buffer, size);
  return got && *got == size;
}
bool InputFile::Seek(std::uint32_t offset) {
  // A 32-bit distance from the start, as the ICO format's offsets are.
  LONG high = 0;
  const DWORD low = SetFilePointer(ToHandle(handle_), static_cast<LONG>(offset), &high, FILE_BEGIN);
  return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}
std::optional<std::uint64_t> InputFile::Length() const {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(ToHandle(handle_), &size) || size.QuadPart < 0) return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

std::optional<RandomAccessFile> RandomAccessFile::Open(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  RandomAccessFile owner(FromHandle(file), 0);
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size) || size.QuadPart < 0) return std::nullopt;
  owner.size_ = static_cast<std::uint64_t>(size.QuadPart);
  return owner;
}
RandomAccessFile::RandomAccessFile(RandomAccessFile&& other) noexcept
    : handle_(std::exchange(other.handle_, kNoHandle)), size_(std::exchange(other.size_, 0)) {}
RandomAccessFile& RandomAccessFile::operator=(RandomAccessFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, kNoHandle);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}
RandomAccessFile::~RandomAccessFile() { Close(); }
void RandomAccessFile::Close() {
  if (handle_ != kNoHandle) CloseHandle(ToHandle(handle_));
  handle_ = kNoHandle;
}
bool RandomAccessFile::ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t size) const {
  while (size > 0) {
    // The position is given with each read, so none is left behind.
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD got = 0;
    if (!ReadFile(ToHandle(handle_), buffer, chunk, &got, &at) || got == 0) return false;
    buffer += got;
    size -= got;
    offset += got;
  }
  return true;
}

}  // namespace brimlet
