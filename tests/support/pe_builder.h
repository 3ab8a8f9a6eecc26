// Fixture modules made in memory: a PE32 or PE32+ file with a resource
// section, built from the resources a test adds, plus the file offsets of
// every header and tree piece so that a test can damage exactly one of them.
//
//   PeBuilder pe;                                   // PE32; PeOptions{.pe32Plus = true} for PE32+
//   pe.AddIcon(1, BuildIconImage(16, 16, 4));
//   pe.AddIcon(2, BuildIconImage(32, 32, 8));
//   pe.AddIconGroup(ResourceName::FromText(u"APP"), {1, 2});
//   PeLayout layout;
//   std::vector<std::uint8_t> bytes = pe.Build(&layout);
//   PutU32(bytes, layout.dataEntryOf(kResourceTypeIcon, ResourceName::FromId(2)) + 4, 0);  // size 0
//
// To put a fixture on disk, write Build()'s bytes with WriteFileBytes
// (support/test_paths.h).
//
// The file: DOS header with e_lfanew, "PE\0\0", file header, optional header
// (NumberOfRvaAndSizes 16, the resource directory as data directory 2), two
// sections: ".text" (filler bytes) and ".rsrc". The resource section holds, in
// this order, the root directory, the type directories, the name directories,
// the language directories, the 16-byte data entries, the text names and the
// resource data. Directory entries are stored as linkers store them (text
// names first, then integers ascending) unless PeOptions::sortEntries is off,
// which keeps the order of adding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "module_file.h"

namespace brimlet::test {

struct PeOptions {
  bool pe32Plus = false;
  std::uint32_t newHeaderOffset = 0x80;  // e_lfanew; the DOS stub fills the bytes up to it
  bool sortEntries = true;
  std::uint32_t numberOfRvaAndSizes = 16;
  std::uint32_t resourceSectionRva = 0x3000;
  bool resourceDirectory = true;  // false: data directory 2 is left empty (a module without resources)
};

// The file offsets of one resource's pieces in the built file.
struct PeResourceLayout {
  std::uint16_t type = 0;
  ResourceName name = ResourceName::FromId(0);
  std::uint16_t language = 0;
  std::size_t typeEntry = 0;          // the 8-byte entry of the type in the root directory
  std::size_t typeDirectory = 0;      // the type's directory of names
  std::size_t nameEntry = 0;          // the name's entry in that directory
  std::size_t languageDirectory = 0;  // the name's directory of languages
  std::size_t languageEntry = 0;      // the language's entry in it
  std::size_t dataEntry = 0;          // the 16-byte data entry (RVA, size, code page, reserved)
  std::size_t nameString = 0;         // the text name's length field; 0 for an integer name
  std::size_t data = 0;               // the resource's bytes
};

struct PeLayout {
  std::size_t newHeader = 0;        // the "PE\0\0" signature (= e_lfanew)
  std::size_t fileHeader = 0;       // the 20-byte file header
  std::size_t optionalHeader = 0;   // its magic
  std::size_t dataDirectories = 0;  // data directory 0; the resource directory is 16 bytes further
  std::size_t sectionTable = 0;     // the first 40-byte section header (.text); .rsrc follows it
  std::size_t resourceSectionHeader = 0;
  std::size_t resourceRoot = 0;     // the root directory of the tree
  std::uint32_t resourceRva = 0;    // its RVA
  std::vector<PeResourceLayout> resources;

  // The pieces of a resource; the first language added when none is given.
  const PeResourceLayout& of(std::uint16_t type, const ResourceName& name,
                             std::optional<std::uint16_t> language = {}) const;
  std::size_t dataEntryOf(std::uint16_t type, const ResourceName& name,
                          std::optional<std::uint16_t> language = {}) const {
    return of(type, name, language).dataEntry;
  }
  // The RVA of a file offset inside the resource section.
  std::uint32_t rvaOf(std::size_t fileOffset) const {
    return resourceRva + static_cast<std::uint32_t>(fileOffset - resourceRoot);
  }
};

// One 14-byte entry of a group icon directory.
struct GroupEntry {
  std::uint8_t width = 0;   // 0 for 256
  std::uint8_t height = 0;
  std::uint8_t colorCount = 0;
  std::uint16_t planes = 1;
  std::uint16_t bitCount = 0;
  std::uint32_t bytesInResource = 0;
  std::uint16_t id = 0;
};

// The entry a linker writes for an image (width, height and depth from its
// bitmap header, its length), naming it by id.
GroupEntry GroupEntryFor(std::uint16_t id, const std::vector<std::uint8_t>& image);
// An RT_GROUP_ICON resource: reserved 0, type 1, the count, then the entries.
// countOverride writes another count than the number of entries.
std::vector<std::uint8_t> BuildGroupDirectory(const std::vector<GroupEntry>& entries,
                                              std::optional<std::uint16_t> countOverride = {});

class PeBuilder {
 public:
  explicit PeBuilder(PeOptions options = {}) : options_(options) {}

  // Any resource. A name added twice in one language keeps the last data.
  PeBuilder& AddResource(std::uint16_t type, const ResourceName& name, std::uint16_t language,
                         std::vector<std::uint8_t> data);
  // An RT_ICON image.
  PeBuilder& AddIcon(std::uint16_t id, std::vector<std::uint8_t> image, std::uint16_t language = 0);
  // An RT_GROUP_ICON whose directory lists the icons of those ids, with entry
  // fields taken from the icons added so far (an id not added gets an entry of
  // zeros but for the id).
  PeBuilder& AddIconGroup(const ResourceName& name, const std::vector<std::uint16_t>& iconIds,
                          std::uint16_t language = 0);

  // The module's bytes; layout, when given, receives where everything lies.
  std::vector<std::uint8_t> Build(PeLayout* layout = nullptr) const;

 private:
  struct Resource {
    std::uint16_t type;
    ResourceName name;
    std::uint16_t language;
    std::vector<std::uint8_t> data;
  };
  PeOptions options_;
  std::vector<Resource> resources_;
};

}  // namespace brimlet::test
