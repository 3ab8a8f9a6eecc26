// A program started by a test as its own process (Windows only): found by its
// window, closed as a user closes it, and ended whatever the test did.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

namespace brimlet::test {

struct HandleClose {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using OwnedHandle = std::unique_ptr<void, HandleClose>;

// Which of the program's visible top-level windows is the one wanted.
using WindowMatch = bool (*)(HWND window);

class ProgramProcess {
 public:
  // Starts the program; Started() tells whether it did.
  explicit ProgramProcess(const std::string& exePath);
  // Ends the program if it is still running.
  ~ProgramProcess();
  ProgramProcess(const ProgramProcess&) = delete;
  ProgramProcess& operator=(const ProgramProcess&) = delete;

  bool Started() const { return process_ != nullptr; }
  bool Running() const;
  DWORD Id() const { return processId_; }

  // Waits for a visible top-level window of the program that matches; nullptr
  // when the program ends first or shows none within a minute (a guard
  // against a program that never shows one, not a measurement).
  HWND WaitForWindow(WindowMatch matches) const;

  // Posts WM_CLOSE to the window and waits for the program to end: its exit
  // code, or nothing when it did not end within 30 seconds.
  std::optional<DWORD> CloseAndWait(HWND window) const;

 private:
  OwnedHandle process_;
  DWORD processId_ = 0;
};

}  // namespace brimlet::test
