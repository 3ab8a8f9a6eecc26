// A running Brimlet.exe, driven from outside as a user would: the window and
// its controls found by their places, the label read with WM_GETTEXT, the
// buttons pressed with BM_CLICK, files and text dragged onto it with OLE.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <memory>
#include <string>
#include <vector>

#include "drop/test_data_object.h"
#include "support/program_process.h"

namespace brimlet::test {

// A client-area point of the main window, with its name for messages.
struct Spot {
  const char* name;
  POINT client;
};

// The places of the window that a drop may land on.
inline constexpr Spot Background{"the window background", {30, 30}};
inline constexpr Spot Label{"the label", {420, 90}};
inline constexpr Spot ExtractButton{"the Extract button", {336, 180}};
inline constexpr Spot DeleteButton{"the Delete button", {512, 180}};
inline constexpr Spot Picture{"the picture", {168, 210}};

// What one drag saw and answered.
struct DragResult {
  HRESULT result = E_FAIL;              // what DoDragDrop answered
  DWORD answered = DROPEFFECT_NONE;     // the effect the target answered
  DWORD lastShown = DROPEFFECT_NONE;    // the effect shown just before the drop
  bool reachedTarget = false;           // the pointer got to the spot
};

class BrimletProcess {
 public:
  // Starts the program and waits until its window is shown; Started() tells.
  explicit BrimletProcess(const std::string& exePath);
  ~BrimletProcess();
  BrimletProcess(const BrimletProcess&) = delete;
  BrimletProcess& operator=(const BrimletProcess&) = delete;

  bool Started() const { return window_ != nullptr && label_ != nullptr && extract_ != nullptr && delete_ != nullptr; }
  HWND Window() const { return window_; }
  HWND LabelWindow() const { return label_; }
  HWND PictureWindow() const { return picture_; }
  HWND ExtractWindow() const { return extract_; }
  HWND DeleteWindow() const { return delete_; }

  std::string Caption() const;
  // Presses a button and waits until the click has been handled.
  bool PressExtract() const { return Press(extract_); }
  bool PressDelete() const { return Press(delete_); }

  // The window under the spot, as the drag loop finds it.
  HWND WindowAt(const Spot& spot) const;
  POINT ScreenPoint(const Spot& spot) const;

  // Drags the data from outside the window onto the spot and drops it there,
  // with the given keys (MK_CONTROL, MK_SHIFT) held.
  DragResult Drag(const OfferedData& offered, const Spot& spot, DWORD keys) const;

  // Closes the window; true when the program ended with exit code 0.
  bool Close();

 private:
  bool Press(HWND button) const;

  ProgramProcess program_;
  HWND window_ = nullptr;
  HWND label_ = nullptr;
  HWND extract_ = nullptr;
  HWND delete_ = nullptr;
  HWND picture_ = nullptr;
};

}  // namespace brimlet::test
