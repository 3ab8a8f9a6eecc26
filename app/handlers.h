// The handlers of the button clicks and of the drop object's FileDropped
// event, bound in the main window's event table.
#pragma once

#include <string>

namespace brimlet::app {

// FileDropped of the drop object: the dropped paths as one text.
void OnFileDropped(const std::string& receivedPath);
// Clicked of 按钮1 ("提取").
void OnExtractClicked();
// Clicked of 按钮2 ("删除").
void OnDeleteClicked();

}  // namespace brimlet::app
