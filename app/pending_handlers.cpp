// Stand-in for the handlers and the drop object until their real
// implementations (handlers.cpp, drop_target.cpp) replace this file. Every
// function here does nothing.
#include "drop_target.h"
#include "handlers.h"

namespace brimlet::app {

class DropObject {};

DropObject& MainDropObject() {
  static DropObject dropObject;
  return dropObject;
}

bool RegisterDropWindow(DropObject& /*dropObject*/, HWND /*window*/) { return false; }

void OnFileDropped(const std::string& /*receivedPath*/) {}
void OnExtractClicked() {}
void OnDeleteClicked() {}

}  // namespace brimlet::app
