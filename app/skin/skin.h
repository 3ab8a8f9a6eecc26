// The XP-style skin: one command that switches it on in a colour scheme, or
// off. It restyles the push buttons, check boxes, radio buttons, group boxes,
// edit fields, combo boxes with their drop-down lists, and up-down controls
// of the calling thread, those that exist and those created later.
#pragma once

namespace brimlet::app {

// 1, 2 or 3: switches any earlier skin off, then on in that scheme, and
// answers 1 (0 when the thread could not be hooked). Any other value switches
// the skin off and answers 0.
int SetSkinScheme(int scheme);

// Ends the component when the program shuts down, before OLE: every window
// still restyled gets its own procedure back and the hook is removed.
void EndSkin();

}  // namespace brimlet::app
