#include "drop/output_folder.h"

#include <windows.h>

#include <filesystem>
#include <memory>

namespace brimlet::test {

namespace {

constexpr char UserFolder[] = "C:\\Users\\Administrator";

struct SearchClose {
  void operator()(HANDLE search) const { FindClose(search); }
};
using OwnedSearch = std::unique_ptr<void, SearchClose>;

}  // namespace

bool OutputFolderExists() {
  const DWORD attributes = GetFileAttributesA(OutputFolder);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool RemoveOutputFolder() {
  std::error_code ignored;
  // Read-only files that a test left would stop the removal.
  for (auto it = std::filesystem::recursive_directory_iterator(std::filesystem::path(OutputFolder), ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    SetFileAttributesA(it->path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  std::filesystem::remove_all(std::filesystem::path(OutputFolder), ignored);
  return !OutputFolderExists();
}

bool MakeEmptyOutputFolder() {
  if (!RemoveOutputFolder()) return false;
  CreateDirectoryA(UserFolder, nullptr);
  return CreateDirectoryA(OutputFolder, nullptr) != FALSE;
}

std::set<std::string> OutputFolderEntries() {
  std::set<std::string> names;
  WIN32_FIND_DATAA found{};
  const HANDLE first = FindFirstFileA(InOutputFolder("*").c_str(), &found);
  if (first == INVALID_HANDLE_VALUE) return names;
  const OwnedSearch search(first);
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") names.insert(name);
  } while (FindNextFileA(search.get(), &found));
  return names;
}

std::string InOutputFolder(const std::string& name) { return std::string(OutputFolder) + name; }

}  // namespace brimlet::test
