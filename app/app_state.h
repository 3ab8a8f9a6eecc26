// Program-wide state of the application, shared by the window and the
// handlers. Everything runs on the one user interface thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace brimlet::app {

// The path of the latest drop: the handler's own copy, empty until the first
// drop, released at exit.
extern std::string droppedFilePath;
// The icon number of the step that Extract or Delete is at.
extern std::int32_t iconCounter;

// The status label 标签1, whose caption the handlers read and write with
// GetWindowTextA and SetWindowTextA. Set by the main window when it creates
// the label (tests set a window of their own).
HWND StatusLabel();
void SetStatusLabel(HWND label);

}  // namespace brimlet::app
