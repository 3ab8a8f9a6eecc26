// The icon groups of a module: the count pass that numbers them in the order
// of the resource directory, and the reader that loads one group into an
// IconSet.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "icon_set.h"
#include "module_file.h"

namespace brimlet {

// Working state of the count pass, program-wide: ExtractFileIcon sets all
// three at the start of every call. Not reentrant.
extern std::int32_t requestedIconNumber;  // position, from 1, of the group wanted
extern std::int32_t iconGroupCount;       // names seen so far
extern std::optional<ResourceName> requestedGroupName;  // name of group requestedIconNumber

// The enumeration callback: counts one group name and remembers it (its own
// copy) when it is the requested one. Always true, so the count is complete.
bool CountIconGroup(const ResourceName& name);

// Opens the module at path by itself and reads every image of the named group,
// in the directory's order. The whole group or nothing.
std::optional<IconSet> LoadModuleIconGroup(const std::string& path, const std::optional<ResourceName>& name);
// The same on a module already open (tests, fuzzing and listings).
std::optional<IconSet> LoadModuleIconGroup(const Module& module, const std::string& path,
                                           const ResourceName& name);

}  // namespace brimlet
