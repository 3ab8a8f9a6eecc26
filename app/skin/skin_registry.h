// The skin's process-wide state: the scheme that is on, the WH_CALLWNDPROC
// hook of the thread that switched it on, and one record per restyled window
// with the procedure it had before.
#pragma once

#include <windows.h>

#include <cstddef>

namespace brimlet::app::skin {

// True while the window is restyled (its procedure is the skin's).
bool IsRestyled(HWND window);
// How many windows have a record.
std::size_t RestyledWindowCount();
// The scheme that is on, 0 when the skin is off.
int ActiveScheme();

}  // namespace brimlet::app::skin
