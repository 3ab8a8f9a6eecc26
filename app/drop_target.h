// The drop object of the main window: takes dropped file lists and raises
// FileDropped by calling OnFileDropped.
#pragma once

#include <windows.h>

namespace brimlet::app {

class DropObject;  // the drop object 拖放对象1

// The one drop object of the program.
DropObject& MainDropObject();
// Makes the drop object the OLE drop target of the window; false when that
// failed or when the object has already registered a window.
bool RegisterDropWindow(DropObject& dropObject, HWND window);

}  // namespace brimlet::app
