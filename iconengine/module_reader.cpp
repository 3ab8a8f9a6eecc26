#include "module_reader.h"

#include <limits>
#include <new>
#include <utility>

namespace brimlet {

std::int32_t requestedIconNumber = 0;
std::int32_t iconGroupCount = 0;
std::optional<ResourceName> requestedGroupName;

namespace {

// The group directory resource: a 6-byte header whose count is at offset 4,
// then one 14-byte entry per image with the image's RT_ICON identifier at
// offset 12 of the entry.
constexpr std::uint64_t kGroupCountField = 4;
constexpr std::uint64_t kGroupHeaderSize = 6;
constexpr std::uint64_t kGroupEntrySize = 14;
constexpr std::uint64_t kGroupEntryBytesField = 8;
constexpr std::uint64_t kGroupEntryIdField = 12;

}  // namespace

bool CountIconGroup(const ResourceName& name) {
  if (iconGroupCount < std::numeric_limits<std::int32_t>::max()) ++iconGroupCount;
  if (iconGroupCount == requestedIconNumber) {
    // Our own copy: the name must outlive the enumeration.
    try {
      requestedGroupName = name;
    } catch (const std::bad_alloc&) {
      requestedGroupName.reset();
    }
  }
  return true;
}

// Reads the group whole or not at all.
//
// Which resources are taken: the group by its name under the module's
// language rule (Module::Find: neutral, then English (US), then the
// first stored); each image by its identifier in the group's own language
// first, then by the same rule, since a module may store the images of a group
// in other languages than the group.
//
// Each frame takes its image resource's length, except in an NE module,
// whose lengths are rounded up to the table's alignment: there the directory's
// byte count is taken when it cuts off no more than that padding.
//
// A directory whose count claims more entries than the group resource holds is
// refused: the set's image count is the directory's count, and a directory cut
// short has lost images we cannot name. Bytes after the last counted entry are
// ignored.
std::optional<IconSet> LoadModuleIconGroup(const Module& module, const std::string& path, const ResourceName& name) {
  try {
    const auto group = module.Find(name, kResourceTypeGroupIcon);
    if (!group) return std::nullopt;
    const auto directory = module.Load(*group);
    if (!directory) return std::nullopt;
    const auto count = directory->u16(kGroupCountField);
    if (!count) return std::nullopt;
    if (!directory->contains(kGroupHeaderSize, kGroupEntrySize * *count)) return std::nullopt;

    IconSet set;
    set.modulePath = path;
    set.frames.reserve(*count);
    for (std::uint32_t i = 0; i < *count; ++i) {
      const auto id = directory->u16(kGroupHeaderSize + kGroupEntrySize * i + kGroupEntryIdField);
      if (!id) return std::nullopt;
      const auto image = module.Find(ResourceName::FromId(*id), kResourceTypeIcon, group->language);
      if (!image) return std::nullopt;
      auto bytes = module.Copy(*image);
      if (!bytes || bytes->size() != Module::SizeOf(*image)) return std::nullopt;
      // An NE module stores lengths rounded up to its alignment: the image
      // ends where the directory says when that lies in the last unit.
      const auto stated = directory->u32(kGroupHeaderSize + kGroupEntrySize * i + kGroupEntryBytesField);
      if (stated && *stated <= bytes->size() && bytes->size() - *stated < image->lengthUnit) {
        bytes->resize(*stated);
      }
      IconFrame frame;
      frame.imageData = std::move(*bytes);
      BindFrame(&frame);
      set.frames.push_back(std::move(frame));
    }
    return set;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::optional<IconSet> LoadModuleIconGroup(const std::string& path, const std::optional<ResourceName>& name) {
  const auto module = Module::Open(path);
  if (!module || !name) return std::nullopt;
  return LoadModuleIconGroup(*module, path, *name);
}

}  // namespace brimlet
