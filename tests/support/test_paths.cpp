#include "support/test_paths.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace brimlet::test {

std::string NativePath(const std::string& unixPath) {
#ifdef _WIN32
  return "Z:" + unixPath;
#else
  return unixPath;
#endif
}

std::string TestDataDir() { return NativePath(BRIMLET_TESTDATA_DIR); }

std::string Wine32Module(const std::string& name) { return TestDataDir() + "/wine-i386/" + name; }

std::string Wine64Module(const std::string& name) {
  return NativePath("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/" + name);
}

std::string FreshTempDir(const std::string& name) {
  const std::filesystem::path dir = std::filesystem::path(NativePath(BRIMLET_BINARY_DIR)) / "test-output" / name;
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  std::filesystem::create_directories(dir, ignored);
  return dir.generic_string();
}

bool WriteFileBytes(const std::string& path, const void* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  return static_cast<bool>(out);
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  return WriteFileBytes(path, bytes.data(), bytes.size());
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(path, ignored);
}

}  // namespace brimlet::test
