// New Executable (16-bit) modules made by test code: icon libraries (.icl) and
// old Windows programs, with a resource table laid out as the linkers of the
// time wrote it, so that our reader and wrestool can both read them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace brimlet::test {

inline constexpr std::uint16_t kNeTypeIcon = 0x8003;       // RT_ICON with the integer flag
inline constexpr std::uint16_t kNeTypeGroupIcon = 0x800E;  // RT_GROUP_ICON with the integer flag

// A resource type or name as an NE module stores it: an integer (the integer
// flag 0x8000 is added when the table is written) or a text of ANSI bytes.
struct NeName {
  static NeName Id(std::uint16_t id) { return NeName{true, id, {}}; }
  static NeName Text(std::string text) { return NeName{false, 0, std::move(text)}; }
  bool isId = true;
  std::uint16_t id = 0;
  std::string text;
};

// What Build wrote where, for tests that damage one field.
struct NeLayout {
  std::size_t neHeader = 0;       // file offset of "NE"
  std::size_t resourceTable = 0;  // file offset of the alignment shift
  std::size_t typeListEnd = 0;    // file offset of the zero that ends the type list
  std::size_t residentNames = 0;  // file offset of the table after the resource table
  std::vector<std::size_t> entries;  // file offset of each resource's 12-byte entry, in the order added
  std::vector<std::size_t> names;    // file offset of each text name's length byte, in the order stored
};

struct NeModule {
  std::vector<std::uint8_t> bytes;
  NeLayout layout;
};

class NeBuilder {
 public:
  // Resource offsets and lengths in units of 1 << alignShift (4: 16 bytes, as
  // most linkers wrote them).
  explicit NeBuilder(std::uint16_t alignShift = 4) : alignShift_(alignShift) {}

  // The module flags: a library (icon libraries, DLLs) or a program.
  NeBuilder& SetLibrary(bool library) {
    library_ = library;
    return *this;
  }

  // Adds a resource. Resources of one type share one type block; the blocks
  // are in the order their types were first added, the entries in the order
  // added.
  NeBuilder& Add(const NeName& type, const NeName& name, std::vector<std::uint8_t> data);

  // Adds an icon group: one RT_ICON resource per image, numbered from
  // firstImageId, then the group directory naming them.
  NeBuilder& AddIconGroup(const NeName& name, const std::vector<std::vector<std::uint8_t>>& images,
                          std::uint16_t firstImageId);

  NeModule Build() const;

 private:
  struct Resource {
    NeName type;
    NeName name;
    std::vector<std::uint8_t> data;
  };
  std::uint16_t alignShift_;
  bool library_ = true;
  std::vector<Resource> resources_;
};

// The group directory of RT_GROUP_ICON: a 6-byte header and one 14-byte entry
// per image, filled from the images' own headers, ending in the image's id.
std::vector<std::uint8_t> BuildGroupDirectory(const std::vector<std::vector<std::uint8_t>>& images,
                                              const std::vector<std::uint16_t>& ids);

}  // namespace brimlet::test
