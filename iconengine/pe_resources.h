// The resources of a module in the portable executable format, PE32 or PE32+.
// Private to the module reader: Module (module_file.h) holds one of these when
// the file is a PE module and hands its calls on to it.
//
// Parse reads the headers and the section table only and remembers where they
// lie; every later call reads just the path through the resource tree that it
// needs. Nothing is cached from the tree, so a call costs a few dozen reads.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "file_view.h"

namespace brimlet {

class ResourceName;
struct ResourceLocation;

class PeResources {
 public:
  // The facts of a PE module whose NT headers begin at newHeaderOffset (the
  // DOS header's e_lfanew), or nullopt when the headers are damaged: a missing
  // signature, an optional header of unknown magic or of a size that does not
  // hold its data directories, fewer than three data directories, a section
  // table past the end of the file, or a resource directory that lies in no
  // section. A module without a resource directory is valid and has no
  // resources.
  static std::optional<PeResources> Parse(FileView file, std::uint32_t newHeaderOffset);

  bool EnumNames(FileView file, std::uint16_t type, const std::function<bool(const ResourceName&)>& callback) const;
  std::optional<ResourceLocation> Find(FileView file, const ResourceName& name, std::uint16_t type,
                                       std::optional<std::uint16_t> preferredLanguage) const;

 private:
  PeResources() = default;

  // File offset of rva when the size bytes from it lie in one section's raw
  // data and in the file.
  std::optional<std::uint64_t> RvaToOffset(FileView file, std::uint32_t rva, std::uint32_t size) const;

  std::uint64_t sectionTable_ = 0;   // file offset of the first 40-byte section header
  std::uint16_t sectionCount_ = 0;
  bool hasResources_ = false;
  std::uint64_t resourceRoot_ = 0;   // file offset of the root directory
  std::uint64_t resourceLimit_ = 0;  // end of the section data that holds it; the tree lies below
};

}  // namespace brimlet
