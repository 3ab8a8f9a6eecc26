#include "extract_command.h"

#include <algorithm>
#include <new>
#include <string>

#include "bitmap_output.h"
#include "ico_reader.h"
#include "ico_writer.h"
#include "module_file.h"
#include "module_reader.h"

namespace brimlet {
namespace {

enum class SourceKind { Ico, Module, Unknown };

// A text ends at its first zero byte: what lies after it is not part of the
// path, neither for the platform's file functions nor for the suffix rules.
std::string TextOf(std::string_view bytes) {
  const std::size_t end = bytes.find('\0');
  return std::string(bytes.substr(0, end == std::string_view::npos ? bytes.size() : end));
}

// The last three characters of a path (the whole path when it is shorter),
// with only the letters A to Z lower-cased, whatever the locale.
std::string Suffix(const std::string& path) {
  std::string tail = path.size() > 3 ? path.substr(path.size() - 3) : path;
  for (char& c : tail) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return tail;
}

SourceKind KindOfSource(const std::string& suffix) {
  if (suffix == "ico") return SourceKind::Ico;
  if (suffix == "exe" || suffix == "dll" || suffix == "icl") return SourceKind::Module;
  return SourceKind::Unknown;
}

// The clipboard output refuses frames that have no bitmap to give (PNG) or no
// height field to halve.
bool ClipboardTakes(const IconFrame& frame) {
  constexpr std::uint32_t kHeightFieldEnd = 12;
  return !frame.isPng() && frame.imageSize() >= kHeightFieldEnd;
}

ExtractOutput WriteBitmap(const IconSet& set, const std::string& outputPath) {
  if (set.frames.empty()) return ExtractOutput::Nothing;
  const IconFrame& first = set.frames.front();
  // A frame that the writer refuses (PNG, or a bitmap that does not fit in
  // its image) is not an attempt to write.
  if (!BitmapLayoutOf(first)) return ExtractOutput::Nothing;
  return SaveFrameAsBitmap(outputPath, first) == 1 ? ExtractOutput::Written : ExtractOutput::WriteFailed;
}

ExtractOutput WriteIco(const IconSet& set, const std::string& outputPath) {
  return SaveIcoFile(set, outputPath) ? ExtractOutput::Written : ExtractOutput::WriteFailed;
}

ExtractOutput CopyToClipboard(const IconSet& set) {
  if (set.frames.empty()) return ExtractOutput::Nothing;
  const IconFrame& first = set.frames.front();
  // The copy is made even for a frame it will refuse: a too-short frame still
  // leaves the clipboard emptied, as the copy empties it before it looks.
  const bool copied = CopyFrameToClipboard(first) == 1;
  if (!ClipboardTakes(first)) return ExtractOutput::Nothing;
  return copied ? ExtractOutput::Written : ExtractOutput::WriteFailed;
}

// Sets the count pass's program-wide values for one call, and clears the
// remembered group name again however the call ends.
class WorkingState {
 public:
  explicit WorkingState(std::int32_t number) {
    requestedGroupName.reset();
    iconGroupCount = 0;
    requestedIconNumber = number;
  }
  WorkingState(const WorkingState&) = delete;
  WorkingState& operator=(const WorkingState&) = delete;
  ~WorkingState() { requestedGroupName.reset(); }
};

// Opens the module and runs the count pass over it: afterwards iconGroupCount
// holds the number of its icon groups and requestedGroupName the requested
// one's name. The module stays open for the caller, as long as the call runs.
std::optional<Module> OpenAndCountGroups(const std::string& sourcePath) {
  std::optional<Module> module = Module::Open(sourcePath);
  if (module && !module->EnumNames(kResourceTypeGroupIcon, CountIconGroup)) {
    iconGroupCount = 0;
    requestedGroupName.reset();
  }
  return module;
}

// One extraction into report. outputPath is nullptr for the clipboard.
void Extract(const std::string& sourcePath, std::int32_t number, const std::string* outputPath,
             ExtractReport& report) {
  const SourceKind kind = KindOfSource(Suffix(sourcePath));
  WorkingState state(number);

  // Count, by the source's kind. An ICO file is one group, read or not.
  std::optional<IconSet> set;
  if (kind == SourceKind::Ico) {
    set = LoadIcoFile(sourcePath);
    iconGroupCount = 1;
  }
  std::optional<Module> module = kind == SourceKind::Module ? OpenAndCountGroups(sourcePath) : std::nullopt;

  if (iconGroupCount <= 0 || number > iconGroupCount) return;
  report.groupCount = iconGroupCount;

  if (kind == SourceKind::Module) set = LoadModuleIconGroup(sourcePath, requestedGroupName);
  if (set) {
    if (outputPath == nullptr) {
      report.output = CopyToClipboard(*set);
    } else {
      const std::string outputSuffix = Suffix(*outputPath);
      if (outputSuffix == "bmp") {
        report.output = WriteBitmap(*set, *outputPath);
      } else if (outputSuffix == "ico") {
        report.output = WriteIco(*set, *outputPath);
      }
    }
  }

  // Released in this order: the set (frame bytes first, as its vectors go),
  // the group name, the module.
  set.reset();
  requestedGroupName.reset();
  module.reset();
}

}  // namespace

ExtractReport ExtractFileIconReport(std::string_view sourcePath, std::optional<std::int32_t> outputMode,
                                    std::optional<std::string_view> outputPath,
                                    std::optional<std::int32_t> iconNumber) {
  ExtractReport report;
  try {
    const std::int32_t mode = outputMode.value_or(1) == 0 ? 0 : 1;
    const std::int32_t number = std::max(iconNumber.value_or(1), std::int32_t{1});
    const std::string output = TextOf(outputPath.value_or(std::string_view()));

    if (mode == 0) {
      if (output.empty()) return report;
      Extract(TextOf(sourcePath), number, &output, report);
    } else {
      Extract(TextOf(sourcePath), number, nullptr, report);
    }
  } catch (const std::bad_alloc&) {
    // Out of memory copying a path or reading a set. Everything the call held
    // has been released on the way out; as with any group that cannot be
    // read, the count (when it was known) is still the answer.
    report.output = ExtractOutput::Nothing;
  }
  return report;
}

std::int32_t ExtractFileIcon(std::string_view sourcePath, std::optional<std::int32_t> outputMode,
                             std::optional<std::string_view> outputPath, std::optional<std::int32_t> iconNumber) {
  return ExtractFileIconReport(sourcePath, outputMode, outputPath, iconNumber).groupCount;
}

}  // namespace brimlet
