// The drop object 拖放对象1: the OLE drop target of the main window, which
// takes dropped file lists and raises FileDropped (OnFileDropped).
#pragma once

#include <windows.h>

namespace brimlet::app {

class DropObject;

// The program's one drop object; its FileDropped event runs OnFileDropped.
DropObject& MainDropObject();

// Makes the drop object the OLE drop target of the window (RegisterDragDrop);
// true when that succeeded. A drop object that has registered a window refuses
// a second registration with false. Drops over the window's child controls
// reach it too, and the registration is withdrawn when the window is destroyed.
bool RegisterDropWindow(DropObject& dropObject, HWND window);

}  // namespace brimlet::app
