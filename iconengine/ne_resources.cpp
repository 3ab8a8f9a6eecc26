#include "ne_resources.h"

#include <string>

#include "module_file.h"

// Layout of the parts of an NE module that are read (all little-endian):
//
// NE header, at e_lfanew:
//   0x00  "NE"
//   0x24  u16  resource table offset, from the NE header
//   0x26  u16  resident name table offset, from the NE header; the resource
//              table ends where it begins
//
// Resource table:
//   u16  alignment shift: resource offsets and lengths are in units of 1 << shift
//   type blocks, each:
//     u16  type id: 0 ends the list; with the high bit set, the integer type
//          (RT_ICON is 0x8003, RT_GROUP_ICON 0x800E); else the offset, from the
//          table's start, of the type's text name
//     u16  number of resources of the type
//     u32  reserved
//     12 bytes per resource:
//       u16  offset in the file, in alignment units
//       u16  length, in alignment units
//       u16  flags
//       u16  name: with the high bit set, the integer id; else the offset, from
//            the table's start, of the text name
//       u16  reserved, u16 reserved
//   text names: a length byte and that many characters (no terminating zero),
//   the last one followed by a zero length byte.
//
// Text names are stored in the ANSI code page; each byte becomes one code unit
// of the ResourceName, so a name read here and handed back finds the same
// resource again, byte for byte. Names are compared exactly as stored.

namespace brimlet {

namespace {

constexpr std::uint16_t kNeSignature = 0x454E;  // "NE"
constexpr std::uint64_t kResourceTableField = 0x24;
constexpr std::uint64_t kResidentNamesField = 0x26;
constexpr std::uint64_t kNeHeaderSize = 0x40;
constexpr std::uint16_t kIntegerFlag = 0x8000;
constexpr std::uint64_t kTypeHeaderSize = 8;
constexpr std::uint64_t kEntrySize = 12;
constexpr std::uint16_t kMaxAlignShift = 15;  // offsets scaled past 2^31 are not file offsets

// A text name at offset in the table: its length byte and characters must lie
// inside the table.
std::optional<std::string> ReadTextBytes(FileView table, std::uint64_t offset) {
  const auto length = table.u8(offset);
  if (!length) return std::nullopt;
  std::string text(*length, '\0');
  if (!table.CopyOut(offset + 1, reinterpret_cast<std::uint8_t*>(text.data()), text.size())) return std::nullopt;
  return text;
}

ResourceName Widen(const std::string& text) {
  std::u16string units(text.size(), u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) units[i] = static_cast<char16_t>(static_cast<unsigned char>(text[i]));
  return ResourceName::FromText(std::move(units));
}

std::optional<ResourceName> DecodeName(FileView table, std::uint16_t field) {
  if ((field & kIntegerFlag) != 0) return ResourceName::FromId(static_cast<std::uint16_t>(field & ~kIntegerFlag));
  const auto text = ReadTextBytes(table, field);
  if (!text) return std::nullopt;
  return Widen(*text);
}

// True when a stored name field names the same resource as name. An integer
// id is compared without reading anything; a text is read only when its
// length matches.
bool NameMatches(FileView table, std::uint16_t field, const ResourceName& name) {
  if ((field & kIntegerFlag) != 0) return name.isId() && name.id() == (field & ~kIntegerFlag);
  if (name.isId()) return false;
  const std::u16string& wanted = name.text();
  if (table.u8(field) != wanted.size()) return false;
  const auto stored = ReadTextBytes(table, field);
  if (!stored) return false;
  for (std::size_t i = 0; i < wanted.size(); ++i) {
    if (wanted[i] != static_cast<unsigned char>((*stored)[i])) return false;
  }
  return true;
}

// One type block of the table.
struct TypeBlock {
  std::uint16_t typeField = 0;
  std::uint16_t count = 0;
  std::uint64_t firstEntry = 0;  // offset in the table
};

// Calls visit with each type block in table order, while it gives true. The
// table's frame was checked by Parse, so every block and its entries fit.
template <typename Visit>
void ForEachType(FileView table, Visit&& visit) {
  std::uint64_t offset = 2;  // past the alignment shift
  for (;;) {
    const auto typeField = table.u16(offset);
    if (!typeField || *typeField == 0) return;
    const auto count = table.u16(offset + 2);
    if (!count) return;
    const TypeBlock block{*typeField, *count, offset + kTypeHeaderSize};
    if (!visit(block)) return;
    offset = block.firstEntry + std::uint64_t{*count} * kEntrySize;
  }
}

bool IsIntegerType(const TypeBlock& block, std::uint16_t type) {
  return (block.typeField & kIntegerFlag) != 0 && (block.typeField & ~kIntegerFlag) == type;
}

}  // namespace

std::optional<NeResources> NeResources::Parse(FileView file, std::uint32_t newHeaderOffset) {
  const auto header = file.sub(newHeaderOffset, kNeHeaderSize);
  if (!header || header->u16(0) != kNeSignature) return std::nullopt;
  const std::uint16_t tableField = *header->u16(kResourceTableField);
  const std::uint16_t residentNames = *header->u16(kResidentNamesField);

  NeResources ne;
  // No resource table: its offset is that of the next table, or 0.
  if (tableField == residentNames || tableField == 0) return ne;
  ne.table_ = std::uint64_t{newHeaderOffset} + tableField;
  // The table runs to the resident name table when that follows it, else (a
  // layout no linker writes) to the end of the file.
  const std::uint64_t end = residentNames > tableField ? std::uint64_t{newHeaderOffset} + residentNames : file.size();
  if (ne.table_ >= end || end > file.size()) return std::nullopt;
  ne.tableSize_ = end - ne.table_;
  const FileView table = *file.sub(ne.table_, ne.tableSize_);

  const auto shift = table.u16(0);
  if (!shift || *shift > kMaxAlignShift) return std::nullopt;
  ne.alignShift_ = *shift;

  // The type list must end with its zero inside the table, each type's
  // entries inside it too. Every block takes at least 8 bytes, so the walk
  // ends after at most tableSize / 8 steps.
  std::uint64_t offset = 2;
  for (;;) {
    const auto typeField = table.u16(offset);
    if (!typeField) return std::nullopt;  // no terminating zero
    if (*typeField == 0) break;
    const auto count = table.u16(offset + 2);
    if (!count) return std::nullopt;
    const std::uint64_t entries = offset + kTypeHeaderSize;
    const std::uint64_t entriesSize = std::uint64_t{*count} * kEntrySize;
    if (!table.contains(entries, entriesSize)) return std::nullopt;
    offset = entries + entriesSize;
  }
  return ne;
}

bool NeResources::EnumNames(FileView file, std::uint16_t type,
                            const std::function<bool(const ResourceName&)>& callback) const {
  if (tableSize_ == 0) return false;
  const auto table = file.sub(table_, tableSize_);
  if (!table) return false;
  bool found = false;
  bool stopped = false;
  ForEachType(*table, [&](const TypeBlock& block) {
    if (!IsIntegerType(block, type)) return true;
    found = true;
    // The names in table order; an entry whose text name lies outside the
    // table has no name to give and is passed over.
    for (std::uint16_t i = 0; i < block.count && !stopped; ++i) {
      const auto field = table->u16(block.firstEntry + std::uint64_t{i} * kEntrySize + 6);
      if (!field) continue;
      const auto name = DecodeName(*table, *field);
      if (name && !callback(*name)) stopped = true;
    }
    return !stopped;
  });
  return found;
}

std::optional<ResourceLocation> NeResources::Find(FileView file, const ResourceName& name, std::uint16_t type,
                                                  std::optional<std::uint16_t> /*preferredLanguage*/) const {
  if (tableSize_ == 0) return std::nullopt;
  const auto table = file.sub(table_, tableSize_);
  if (!table) return std::nullopt;
  std::optional<ResourceLocation> location;
  ForEachType(*table, [&](const TypeBlock& block) {
    if (!IsIntegerType(block, type)) return true;
    for (std::uint16_t i = 0; i < block.count; ++i) {
      const std::uint64_t entry = block.firstEntry + std::uint64_t{i} * kEntrySize;
      const auto offset = table->u16(entry);
      const auto length = table->u16(entry + 2);
      const auto field = table->u16(entry + 6);
      if (!offset || !length || !field || !NameMatches(*table, *field, name)) continue;
      // With a shift of at most 15 both values stay below 2^31. Whether the
      // bytes lie in the file is checked when they are loaded.
      ResourceLocation found;
      found.offset = std::uint64_t{*offset} << alignShift_;
      found.size = std::uint32_t{*length} << alignShift_;
      found.lengthUnit = std::uint32_t{1} << alignShift_;
      location = found;
      return false;
    }
    return true;
  });
  return location;
}

}  // namespace brimlet
