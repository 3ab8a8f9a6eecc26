#include "support/program_process.h"

namespace brimlet::test {

namespace {

constexpr DWORD PollMilliseconds = 50;
constexpr int WindowPolls = 1200;
constexpr DWORD EndMilliseconds = 30000;

struct Search {
  DWORD processId;
  WindowMatch matches;
  HWND found;
};

BOOL CALLBACK FindWindowOf(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && IsWindowVisible(window) != FALSE && search->matches(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

ProgramProcess::ProgramProcess(const std::string& exePath) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  std::string commandLine = "\"" + exePath + "\"";
  if (!CreateProcessA(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &started)) {
    return;
  }
  process_.reset(started.hProcess);
  const OwnedHandle thread(started.hThread);
  processId_ = started.dwProcessId;
  WaitForInputIdle(process_.get(), EndMilliseconds);
}

ProgramProcess::~ProgramProcess() {
  if (Running()) TerminateProcess(process_.get(), 99);
}

bool ProgramProcess::Running() const {
  return process_ != nullptr && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

HWND ProgramProcess::WaitForWindow(WindowMatch matches) const {
  if (!process_) return nullptr;
  for (int poll = 0; poll < WindowPolls; ++poll) {
    Search search{processId_, matches, nullptr};
    EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) return search.found;
    if (WaitForSingleObject(process_.get(), PollMilliseconds) == WAIT_OBJECT_0) return nullptr;  // it ended
  }
  return nullptr;
}

std::optional<DWORD> ProgramProcess::CloseAndWait(HWND window) const {
  if (!process_) return std::nullopt;
  if (window != nullptr) PostMessageA(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process_.get(), EndMilliseconds) != WAIT_OBJECT_0) return std::nullopt;
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(process_.get(), &exitCode)) return std::nullopt;
  return exitCode;
}

}  // namespace brimlet::test
