// The program's fixed output folder C:\Users\Administrator\Desktop\, made and
// emptied by the tests (under Wine it lies in the build's private prefix).
#pragma once

#include <set>
#include <string>

namespace brimlet::test {

inline constexpr char OutputFolder[] = "C:\\Users\\Administrator\\Desktop\\";

// The folder, made afresh and empty; true on success.
bool MakeEmptyOutputFolder();
// The folder gone, with everything in it; true when it no longer exists.
bool RemoveOutputFolder();
bool OutputFolderExists();
// The names of the entries in the folder.
std::set<std::string> OutputFolderEntries();
// OutputFolder + name.
std::string InOutputFolder(const std::string& name);

}  // namespace brimlet::test
