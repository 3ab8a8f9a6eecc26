// The handlers of the drop object's FileDropped event and of the two buttons.
#pragma once

#include <string>

namespace brimlet::app {

// FileDropped of 拖放对象1: stores a copy of the dropped text in
// droppedFilePath and sets the verdict on its last four bytes as the caption.
void OnFileDropped(const std::string& receivedPath);
// Clicked of 按钮1 ("提取"): writes the icon groups of the dropped file as
// numbered ICO files in the output folder and reports on the caption.
void OnExtractClicked();
// Clicked of 按钮2 ("删除"): deletes the numbered ICO files again.
void OnDeleteClicked();

}  // namespace brimlet::app
