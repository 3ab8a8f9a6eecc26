#include "program.h"

#include <cstdint>
#include <utility>

#include "app_state.h"
#include "main_window.h"
#include "skin/skin.h"
#include "win32_handles.h"

namespace brimlet::app {
namespace {

using ExitRoutine = void (*)();
ExitRoutine exitRoutine = nullptr;

void RegisterExitRoutine(ExitRoutine routine) { exitRoutine = routine; }

void RunExitRoutine() {
  if (exitRoutine != nullptr) {
    std::exchange(exitRoutine, nullptr)();
  }
}

std::string ProgramFilePath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      return {};
    }
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    if (path.size() >= 32768) {
      return {};
    }
    path.resize(path.size() * 2);
  }
}

void SetWorkingFolderToProgramFolder() {
  const std::string folder = FolderOfPath(ProgramFilePath());
  if (!folder.empty()) {
    SetCurrentDirectoryA(folder.c_str());
  }
}

int RunMessageLoop() {
  MSG message{};
  for (;;) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      break;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}

}  // namespace

std::string FolderOfPath(const std::string& path) {
  const std::size_t cut = path.rfind('\\');
  return cut == std::string::npos ? path : path.substr(0, cut);
}

void OnProgramExit() {
  if (!droppedFilePath.empty()) {
    std::string().swap(droppedFilePath);
  }
}

int RunProgram(HINSTANCE instance) {
  const OleInitialization ole;  // shut down last, when this owner ends
  SetWorkingFolderToProgramFolder();
  droppedFilePath.clear();
  iconCounter = 0;
  RegisterExitRoutine(OnProgramExit);

  int exitCode = 0;
  HWND window = CreateMainWindow(instance);
  if (window != nullptr) {
    exitCode = RunMessageLoop();
  } else {
    exitCode = 1;  // no window: the program ends without a message loop
  }
  RunExitRoutine();
  // The window's facilities end before OLE, which the owner above shuts
  // down last: the skin's hook goes now, not with the process.
  EndSkin();
  return exitCode;
}

}  // namespace brimlet::app
