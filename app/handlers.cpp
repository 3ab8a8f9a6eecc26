#include "handlers.h"

#include <windows.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "app_state.h"
#include "extract_command.h"
#include "status_texts.h"

namespace brimlet::app {

namespace {

// Both commands try every icon number from 1 to LastIconNumber.
constexpr std::int32_t LastIconNumber = 1201;
// The fixed folder of the numbered ICO files.
constexpr std::string_view OutputFolder = "C:\\Users\\Administrator\\Desktop\\";
// The only suffix a drop is accepted with: exactly these four bytes.
constexpr std::string_view AcceptedSuffix = ".exe";

// OutputFolder, the icon number as "%d" gives it, ".ico".
std::string OutputPath(std::int32_t iconNumber) {
  std::string path(OutputFolder);
  path += std::to_string(iconNumber);
  path += ".ico";
  return path;
}

std::string Caption() {
  const HWND label = StatusLabel();
  const int length = GetWindowTextLengthA(label);
  if (length <= 0) return {};
  std::vector<char> text(static_cast<std::size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(label, text.data(), length + 1);
  return std::string(text.data(), static_cast<std::size_t>(copied > 0 ? copied : 0));
}

void SetCaption(const char* text) { SetWindowTextA(StatusLabel(), text); }

}  // namespace

void OnFileDropped(const std::string& receivedPath) {
  // The path is kept whatever the verdict: Extract uses it either way.
  droppedFilePath = receivedPath;
  const std::string_view text(droppedFilePath);
  const std::string_view tail = text.substr(text.size() < AcceptedSuffix.size() ? 0 : text.size() - AcceptedSuffix.size());
  SetCaption(tail == AcceptedSuffix ? StatusAccepted : StatusRejected);
}

void OnExtractClicked() {
  bool anyWritten = false;
  bool anyWriteFailed = false;
  for (iconCounter = 1; iconCounter <= LastIconNumber; ++iconCounter) {
    const std::string outputPath = OutputPath(iconCounter);
    const ExtractReport report = ExtractFileIconReport(droppedFilePath, 0, outputPath, iconCounter);
    anyWritten = anyWritten || report.output == ExtractOutput::Written;
    anyWriteFailed = anyWriteFailed || report.output == ExtractOutput::WriteFailed;
  }
  if (Caption() != StatusAccepted) {
    SetCaption(StatusDropAgain);
  } else if (anyWriteFailed) {
    SetCaption(StatusSaveFailed);
  } else if (!anyWritten) {
    SetCaption(StatusNoIcons);
  } else {
    SetCaption(StatusExtracted);
  }
}

void OnDeleteClicked() {
  for (iconCounter = 1; iconCounter <= LastIconNumber; ++iconCounter) {
    // A file that is missing, read-only or in use is left; the loop goes on.
    DeleteFileA(OutputPath(iconCounter).c_str());
  }
}

}  // namespace brimlet::app
