// brimlet-extract: the engine without the window. Writes every icon group of
// a module or an ICO file as 1.ico, 2.ico, ... (or the first image of each as
// n.bmp) into a folder, or lists the groups and their images.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>
#include <string>
#include <string_view>
#include <vector>

#include "extract_command.h"
#include "ico_reader.h"
#include "icon_set.h"
#include "module_file.h"
#include "module_reader.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <sys/types.h>
#endif

namespace {

using brimlet::ExtractOutput;
using brimlet::IconFrame;
using brimlet::IconSet;

constexpr int kExitAllWritten = 0;
constexpr int kExitNoIcons = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNotWritten = 3;

constexpr const char kUsage[] =
    "Usage: brimlet-extract [--bmp] SOURCE [OUTDIR]\n"
    "       brimlet-extract --list SOURCE\n"
    "       brimlet-extract --help\n"
    "\n"
    "Saves the icon groups of SOURCE, an executable module (.exe, .dll, .icl) or\n"
    "an icon file (.ico), as separate icon files 1.ico, 2.ico, ... numbered in the\n"
    "order of the module's resource directory, into OUTDIR (default: the current\n"
    "folder; created when missing). Files of those names are overwritten. The kind\n"
    "of SOURCE is decided by the last three characters of its name.\n"
    "\n"
    "  --bmp      write n.bmp, the first image of each group as a bitmap, instead\n"
    "  --list     print each group's number and name (text, or #id) and, for each\n"
    "             of its images, width, height, bit count, byte length and whether\n"
    "             it is stored as PNG; writes nothing\n"
    "  --help     print this text\n"
    "  --         end of options (for a SOURCE that begins with -)\n"
    "\n"
    "Exit status: 0 every group was written (or listed), 1 SOURCE holds no icon\n"
    "group or cannot be read as one, 2 bad usage, 3 some file could not be written.\n";

// --- the little of the file system that the tool needs beyond the engine ---

enum class PathKind { Missing, File, Folder };

#ifdef _WIN32
PathKind KindOfPath(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::Folder : PathKind::File;
}

std::string LastErrorText(DWORD error) {
  // Worded here, not by the system, so that the messages stay in English
  // whatever the system's language.
  switch (error) {
    case ERROR_FILE_NOT_FOUND: return "no such file";
    case ERROR_PATH_NOT_FOUND: return "no such folder";
    case ERROR_ACCESS_DENIED: return "access denied";
    case ERROR_SHARING_VIOLATION: return "the file is in use by another program";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return "the disk is full";
    case ERROR_WRITE_PROTECT: return "the medium is write-protected";
    case ERROR_INVALID_NAME: return "the name is not valid";
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS: return "a file of that name exists";
    default: return "Windows error " + std::to_string(error);
  }
}

// The cause of the last failure of a file operation, for a message.
struct Cause {
  DWORD error = GetLastError();
  std::string text() const { return LastErrorText(error); }
};
void ClearCause() { SetLastError(0); }
bool MakeOneFolder(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }
constexpr char kSeparator = '\\';
bool IsSeparator(char c) { return c == '\\' || c == '/'; }
#else
PathKind KindOfPath(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return PathKind::Missing;
  return S_ISDIR(info.st_mode) ? PathKind::Folder : PathKind::File;
}

struct Cause {
  int error = errno;
  std::string text() const { return error != 0 ? std::strerror(error) : "unknown cause"; }
};
void ClearCause() { errno = 0; }
bool MakeOneFolder(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }
constexpr char kSeparator = '/';
bool IsSeparator(char c) { return c == '/'; }
#endif

// Creates path and any missing folders above it. Empty on success, else the
// reason.
std::optional<std::string> MakeFolders(const std::string& path) {
  const PathKind kind = KindOfPath(path);
  if (kind == PathKind::Folder) return std::nullopt;
  if (kind == PathKind::File) return "it exists and is not a folder";
  for (std::size_t i = 1; i <= path.size(); ++i) {
    if (i != path.size() && !IsSeparator(path[i])) continue;
    const std::string prefix = path.substr(0, i);
    if (IsSeparator(prefix.back()) || (prefix.size() == 2 && prefix[1] == ':')) continue;
    const PathKind prefixKind = KindOfPath(prefix);
    if (prefixKind == PathKind::Folder) continue;
    if (prefixKind == PathKind::File) return prefix + " is a file, not a folder";
    ClearCause();
    if (!MakeOneFolder(prefix) && KindOfPath(prefix) != PathKind::Folder) {
      return "cannot create " + prefix + ": " + Cause().text();
    }
  }
  return std::nullopt;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (IsSeparator(folder.back())) return folder + name;
  return folder + kSeparator + name;
}

// --- sources ---

enum class SourceKind { Ico, Module, Unknown };

// The engine's rule: the last three characters, A to Z lower-cased.
SourceKind KindOfSource(const std::string& path) {
  std::string tail = path.size() > 3 ? path.substr(path.size() - 3) : path;
  for (char& c : tail) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (tail == "ico") return SourceKind::Ico;
  if (tail == "exe" || tail == "dll" || tail == "icl") return SourceKind::Module;
  return SourceKind::Unknown;
}

// One group as the listing and the diagnoses see it.
struct Group {
  std::string name;           // "#id", the text name, or "-" for an ICO file
  std::optional<IconSet> set;  // none when the group cannot be read
};

// Every group of an ICO file or a module, read with the engine's readers.
// None when the source holds no group at all.
std::optional<std::vector<Group>> ReadGroups(const std::string& source) {
  std::vector<Group> groups;
  switch (KindOfSource(source)) {
    case SourceKind::Ico: {
      std::optional<IconSet> set = brimlet::LoadIcoFile(source);
      if (!set) return std::nullopt;
      groups.push_back(Group{"-", std::move(set)});
      return groups;
    }
    case SourceKind::Module: {
      const std::optional<brimlet::Module> module = brimlet::Module::Open(source);
      if (!module) return std::nullopt;
      std::vector<brimlet::ResourceName> names;
      module->EnumNames(brimlet::kResourceTypeGroupIcon, [&](const brimlet::ResourceName& name) {
        names.push_back(name);
        return true;
      });
      if (names.empty()) return std::nullopt;
      for (const brimlet::ResourceName& name : names) {
        groups.push_back(Group{name.display(), brimlet::LoadModuleIconGroup(*module, source, name)});
      }
      return groups;
    }
    case SourceKind::Unknown:
      return std::nullopt;
  }
  return std::nullopt;
}

// Why a source gives no icon group at all.
std::string NoGroupCause(const std::string& source) {
  const SourceKind kind = KindOfSource(source);
  if (kind == SourceKind::Unknown) {
    return "not an icon file or module: the name must end in ico, exe, dll or icl";
  }
  ClearCause();
  const PathKind pathKind = KindOfPath(source);
  if (pathKind == PathKind::Missing) return "cannot open it: " + Cause().text();
  if (pathKind == PathKind::Folder) return "it is a folder";
  if (kind == SourceKind::Ico) return "cannot be read as an icon file";
  if (!brimlet::Module::Open(source)) return "cannot be read as an executable module";
  return "the module holds no icon group";
}

// PNG images keep their size in the IHDR chunk, big-endian.
struct PngShape {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t bits = 0;
};

std::optional<PngShape> ReadPngShape(brimlet::ByteSpan image) {
  const auto be32 = [&](std::uint64_t offset) -> std::optional<std::uint32_t> {
    std::uint32_t value = 0;
    for (std::uint64_t i = 0; i < 4; ++i) {
      const auto byte = image.u8(offset + i);
      if (!byte) return std::nullopt;
      value = (value << 8) | *byte;
    }
    return value;
  };
  const auto width = be32(16);
  const auto height = be32(20);
  const auto depth = image.u8(24);
  const auto colourType = image.u8(25);
  if (!width || !height || !depth || !colourType) return std::nullopt;
  std::uint32_t channels = 1;
  switch (*colourType) {
    case 2: channels = 3; break;
    case 4: channels = 2; break;
    case 6: channels = 4; break;
    default: break;
  }
  return PngShape{*width, *height, std::uint32_t{*depth} * channels};
}

std::string DescribeFrame(const IconFrame& frame) {
  std::string width = std::to_string(frame.width);
  std::string height = std::to_string(frame.height);
  std::string bits = std::to_string(frame.bitsPerPixel);
  if (frame.isPng()) {
    const std::optional<PngShape> shape = ReadPngShape(frame.bytes());
    width = shape ? std::to_string(shape->width) : "?";
    height = shape ? std::to_string(shape->height) : "?";
    bits = shape ? std::to_string(shape->bits) : "?";
  }
  return width + "x" + height + ", " + bits + " bits, " + std::to_string(frame.imageSize()) + " bytes" +
         (frame.isPng() ? ", PNG" : "");
}

int List(const std::string& source) {
  const std::optional<std::vector<Group>> groups = ReadGroups(source);
  if (!groups) {
    std::fprintf(stderr, "brimlet-extract: %s: %s\n", source.c_str(), NoGroupCause(source).c_str());
    return kExitNoIcons;
  }
  std::printf("%s: %zu icon group%s\n", source.c_str(), groups->size(), groups->size() == 1 ? "" : "s");
  std::size_t number = 0;
  for (const Group& group : *groups) {
    ++number;
    if (!group.set) {
      std::printf("group %zu  %s  cannot be read (an image it lists is missing or damaged)\n", number,
                  group.name.c_str());
      continue;
    }
    const std::size_t count = group.set->frames.size();
    std::printf("group %zu  %s  %zu image%s\n", number, group.name.c_str(), count, count == 1 ? "" : "s");
    std::size_t index = 0;
    for (const IconFrame& frame : group.set->frames) {
      std::printf("  image %zu: %s\n", ++index, DescribeFrame(frame).c_str());
    }
  }
  return kExitAllWritten;
}

// Why nothing was written for group n although the source has it: the group
// cannot be read, or (for a bitmap) its first image has no bitmap to give.
struct NothingWritten {
  std::string cause;
  bool unreadable = true;
};

NothingWritten WhyNothingWritten(const std::string& source, std::int32_t number, bool bitmap) {
  const std::optional<std::vector<Group>> groups = ReadGroups(source);
  if (!groups || number < 1 || static_cast<std::size_t>(number) > groups->size()) {
    return {"the group could not be read", true};
  }
  const Group& group = (*groups)[static_cast<std::size_t>(number - 1)];
  if (!group.set) {
    if (KindOfSource(source) == SourceKind::Ico) return {"the file cannot be read as an icon file", true};
    return {"the group cannot be read (an image it lists is missing or damaged)", true};
  }
  if (bitmap) {
    if (group.set->frames.empty()) return {"the group holds no image", false};
    if (group.set->frames.front().isPng()) return {"its first image is stored as PNG and has no bitmap", false};
    return {"its first image's bitmap does not fit inside the image (damaged header)", false};
  }
  return {"the group could not be read", true};
}

std::string WriteFailedCause(const std::string& path, const Cause& cause) {
  if (KindOfPath(path) == PathKind::Folder) return "a folder of that name is in the way";
  if (KindOfPath(path) == PathKind::Missing) return "cannot create it: " + cause.text();
  return "a write failed part way (" + cause.text() + "); the file is left shortened";
}

int Extract(const std::string& source, const std::string& folder, bool bitmap) {
  // A first call whose output name selects no writer: it only counts.
  // An ICO file counts as one group even when it cannot be read; it is read
  // once here so that such a file is told apart before anything is created.
  const std::int32_t firstCount = brimlet::ExtractFileIcon(source, 0, "count only", 1);
  if (firstCount == 0 || (KindOfSource(source) == SourceKind::Ico && !ReadGroups(source))) {
    std::fprintf(stderr, "brimlet-extract: %s: %s\n", source.c_str(), NoGroupCause(source).c_str());
    return kExitNoIcons;
  }
  if (const std::optional<std::string> problem = MakeFolders(folder.empty() ? "." : folder)) {
    std::fprintf(stderr, "brimlet-extract: %s: cannot write into this folder: %s\n", folder.c_str(),
                 problem->c_str());
    return kExitNotWritten;
  }

  const char* const extension = bitmap ? ".bmp" : ".ico";
  std::int32_t count = firstCount;
  std::int32_t written = 0;
  std::int32_t unreadable = 0;
  for (std::int32_t number = 1; number <= count; ++number) {
    const std::string path = JoinPath(folder, std::to_string(number) + extension);
    ClearCause();
    const brimlet::ExtractReport report = brimlet::ExtractFileIconReport(source, 0, path, number);
    const Cause cause;
    if (report.groupCount == 0) {
      std::fprintf(stderr, "brimlet-extract: %s: the source changed while it was read; stopped at group %d\n",
                   source.c_str(), number);
      break;
    }
    count = report.groupCount;
    switch (report.output) {
      case ExtractOutput::Written:
        ++written;
        std::printf("wrote %s\n", path.c_str());
        break;
      case ExtractOutput::WriteFailed:
        std::fprintf(stderr, "brimlet-extract: %s: %s\n", path.c_str(), WriteFailedCause(path, cause).c_str());
        break;
      case ExtractOutput::Nothing: {
        const NothingWritten why = WhyNothingWritten(source, number, bitmap);
        if (why.unreadable) ++unreadable;
        std::fprintf(stderr, "brimlet-extract: %s: not written: group %d of %s: %s\n", path.c_str(), number,
                     source.c_str(), why.cause.c_str());
        break;
      }
    }
  }

  const char* const where = folder.empty() ? "." : folder.c_str();
  std::printf("%d of %d icon group%s of %s written as %s files into %s\n", written, count, count == 1 ? "" : "s",
              source.c_str(), bitmap ? "BMP" : "ICO", where);
  if (written == count) return kExitAllWritten;
  if (written == 0 && unreadable == count) return kExitNoIcons;
  return kExitNotWritten;
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "brimlet-extract: %s\n%s", message.c_str(), kUsage);
  return kExitUsage;
}

int Run(int argc, char** argv) {
  bool bitmap = false;
  bool list = false;
  bool optionsEnded = false;
  std::vector<std::string> operands;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
      if (argument == "--") {
        optionsEnded = true;
      } else if (argument == "--help" || argument == "-h") {
        std::fputs(kUsage, stdout);
        return kExitAllWritten;
      } else if (argument == "--bmp") {
        bitmap = true;
      } else if (argument == "--list") {
        list = true;
      } else {
        return UsageError("unknown option " + std::string(argument));
      }
      continue;
    }
    operands.emplace_back(argument);
  }
  if (list && bitmap) return UsageError("--list and --bmp do not go together");
  if (operands.empty()) return UsageError("no SOURCE given");
  if (list && operands.size() > 1) return UsageError("--list takes only a SOURCE");
  if (operands.size() > 2) return UsageError("too many arguments");
  if (operands[0].empty()) return UsageError("SOURCE is empty");
  if (list) return List(operands[0]);
  return Extract(operands[0], operands.size() > 1 ? operands[1] : std::string(), bitmap);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "brimlet-extract: %s\n", error.what());
    return kExitNotWritten;
  }
}
