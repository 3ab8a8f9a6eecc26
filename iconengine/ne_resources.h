// The resources of a module in the New Executable format (16-bit programs and
// icon libraries). Private to the module reader: Module (module_file.h) holds
// one of these when the file is an NE module and hands its calls on to it.
//
// Parse reads the NE header and checks the resource table's frame once; every
// later call walks the table again, which is a few dozen reads.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "file_view.h"

namespace brimlet {

class ResourceName;
struct ResourceLocation;

class NeResources {
 public:
  // The facts of an NE module whose header begins at newHeaderOffset (the DOS
  // header's e_lfanew), or nullopt when it is not one or its resource table is
  // damaged: a header past the end of the file, an alignment shift of 16 or
  // more, a type list without its terminating zero inside the table, or a
  // type's entries running past the table. A module whose resource table is
  // empty is valid and has no resources.
  static std::optional<NeResources> Parse(FileView file, std::uint32_t newHeaderOffset);

  bool EnumNames(FileView file, std::uint16_t type, const std::function<bool(const ResourceName&)>& callback) const;
  // NE modules store no languages: the preferred language is not used, and a
  // found resource's language is 0.
  std::optional<ResourceLocation> Find(FileView file, const ResourceName& name, std::uint16_t type,
                                       std::optional<std::uint16_t> preferredLanguage) const;

 private:
  NeResources() = default;

  std::uint64_t table_ = 0;       // file offset of the resource table
  std::uint64_t tableSize_ = 0;   // its length, up to the next table; 0 when there is none
  std::uint16_t alignShift_ = 0;  // offsets and lengths of resources are in units of 1 << shift
};

}  // namespace brimlet
