#include "fuzz_support.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "byte_span.h"

namespace brimlet::fuzz {

const std::string& ScratchDir() {
  static const std::string dir = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "brimlet-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
  }();
  // The folder goes when the process ends normally; the string outlives this
  // handler because it was made before the handler was registered.
  static const bool cleanupRegistered = [] {
    return std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(dir, ignored);
    }) == 0;
  }();
  static_cast<void>(cleanupRegistered);
  return dir;
}

bool WriteWholeFile(const std::string& path, ByteSpan bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

void ClearScratchDir() {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(ScratchDir(), ignored)) {
    std::filesystem::remove_all(entry.path(), ignored);
  }
}

}  // namespace brimlet::fuzz
