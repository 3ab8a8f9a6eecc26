#include "app_state.h"

namespace brimlet::app {

std::string droppedFilePath;
std::int32_t iconCounter = 0;

namespace {
HWND statusLabel = nullptr;
}  // namespace

HWND StatusLabel() { return statusLabel; }
void SetStatusLabel(HWND label) { statusLabel = label; }

}  // namespace brimlet::app
