#include "pe_resources.h"

#include <algorithm>
#include <array>

#include "module_file.h"

namespace brimlet {

namespace {

constexpr std::uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr std::uint64_t kSignatureSize = 4;
constexpr std::uint64_t kFileHeaderSize = 20;
constexpr std::uint64_t kSectionCountField = 2;         // in the file header
constexpr std::uint64_t kOptionalHeaderSizeField = 16;  // in the file header

constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
// Where NumberOfRvaAndSizes and the data directories lie in the optional header.
constexpr std::uint64_t kDirectoryCountPe32 = 92;
constexpr std::uint64_t kDirectoriesPe32 = 96;
constexpr std::uint64_t kDirectoryCountPe32Plus = 108;
constexpr std::uint64_t kDirectoriesPe32Plus = 112;
constexpr std::uint64_t kDataDirectorySize = 8;
constexpr std::uint32_t kMaxDataDirectories = 16;
constexpr std::uint32_t kResourceDirectoryIndex = 2;

constexpr std::uint64_t kSectionHeaderSize = 40;
constexpr std::uint64_t kSectionVirtualSize = 8;
constexpr std::uint64_t kSectionVirtualAddress = 12;
constexpr std::uint64_t kSectionRawSize = 16;
constexpr std::uint64_t kSectionRawPointer = 20;
constexpr std::uint64_t kAddressSpace = std::uint64_t{1} << 32;

// The resource tree: directories of 16-byte headers followed by 8-byte
// entries, 16-byte data entries at the leaves. Offsets in the tree count from
// the root directory.
constexpr std::uint64_t kDirectoryHeaderSize = 16;
constexpr std::uint64_t kNamedCountField = 12;
constexpr std::uint64_t kIdCountField = 14;
constexpr std::uint64_t kEntrySize = 8;
constexpr std::uint64_t kDataEntrySize = 16;
constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::uint32_t kMaxId = 0xFFFF;

constexpr std::uint16_t kLanguageNeutral = 0x0000;
constexpr std::uint16_t kLanguageEnglishUs = 0x0409;

// One section header, with its ranges widened to 64 bits.
struct Section {
  std::uint64_t virtualAddress = 0;
  std::uint64_t virtualSize = 0;
  std::uint64_t rawPointer = 0;
  std::uint64_t rawSize = 0;

  // The part of the section whose bytes are in the file: the raw data, no
  // longer than the virtual size when that is given.
  std::uint64_t mappedSize() const { return virtualSize == 0 ? rawSize : std::min(virtualSize, rawSize); }
  // A section that reaches past 2^32 in the address space or in the file is
  // damaged and maps nothing.
  bool wraps() const {
    return virtualAddress + std::max(virtualSize, rawSize) > kAddressSpace || rawPointer + rawSize > kAddressSpace;
  }
};

// A span of the file, with the end of the section data it was found in.
struct Mapped {
  std::uint64_t offset = 0;
  std::uint64_t sectionEnd = 0;
};

std::optional<Mapped> MapRva(FileView file, std::uint64_t sectionTable, std::uint16_t sectionCount,
                             std::uint32_t rva, std::uint64_t size) {
  for (std::uint16_t i = 0; i < sectionCount; ++i) {
    const std::uint64_t at = sectionTable + kSectionHeaderSize * i;
    // The table was checked to lie in the file when it was parsed.
    Section section;
    section.virtualSize = file.u32(at + kSectionVirtualSize).value_or(0);
    section.virtualAddress = file.u32(at + kSectionVirtualAddress).value_or(0);
    section.rawSize = file.u32(at + kSectionRawSize).value_or(0);
    section.rawPointer = file.u32(at + kSectionRawPointer).value_or(0);
    if (section.wraps() || rva < section.virtualAddress) continue;
    const std::uint64_t into = rva - section.virtualAddress;
    const std::uint64_t mapped = section.mappedSize();
    if (into >= mapped || size > mapped - into) continue;
    const std::uint64_t offset = section.rawPointer + into;
    if (!file.contains(offset, size)) continue;
    const std::uint64_t end = std::min<std::uint64_t>(section.rawPointer + mapped, file.size());
    return Mapped{offset, end};
  }
  return std::nullopt;
}

// One directory of the tree whose entries were checked to lie in the tree.
struct Directory {
  std::uint32_t offset = 0;
  std::uint32_t entryCount = 0;
  std::uint32_t namedCount = 0;  // the entries named by text come first
};

struct Entry {
  std::uint32_t name = 0;
  std::uint32_t target = 0;

  bool isNamed() const { return (name & kHighBit) != 0; }
  std::uint32_t nameOffset() const { return name & ~kHighBit; }
  bool isDirectory() const { return (target & kHighBit) != 0; }
  std::uint32_t targetOffset() const { return target & ~kHighBit; }
  // An integer name; names with bits above the low 16 are damaged and match nothing.
  bool isId(std::uint32_t id) const { return !isNamed() && name <= kMaxId && name == id; }
};

// The directory at offset, or nullopt when its header or its entries run past
// the end of the tree.
std::optional<Directory> ReadDirectory(FileView tree, std::uint32_t offset) {
  const auto named = tree.u16(std::uint64_t{offset} + kNamedCountField);
  const auto ids = tree.u16(std::uint64_t{offset} + kIdCountField);
  if (!named || !ids) return std::nullopt;
  const std::uint32_t count = std::uint32_t{*named} + *ids;
  if (!tree.contains(std::uint64_t{offset} + kDirectoryHeaderSize, kEntrySize * count)) return std::nullopt;
  return Directory{offset, count, *named};
}

Entry ReadEntry(FileView tree, const Directory& directory, std::uint32_t index) {
  const std::uint64_t at = std::uint64_t{directory.offset} + kDirectoryHeaderSize + kEntrySize * index;
  return Entry{tree.u32(at).value_or(0), tree.u32(at + 4).value_or(0)};
}

// The directories entered so far on the way down from the root. The tree has
// exactly three levels (type, name, language), so the walk never holds more
// than three; a subdirectory that points back at one of them is refused, and
// so is one where a data leaf belongs.
class TreePath {
 public:
  std::optional<Directory> Enter(FileView tree, const Entry& entry) {
    if (!entry.isDirectory() || depth_ >= entered_.size()) return std::nullopt;
    const std::uint32_t offset = entry.targetOffset();
    if (std::find(entered_.begin(), entered_.begin() + static_cast<std::ptrdiff_t>(depth_), offset) !=
        entered_.begin() + static_cast<std::ptrdiff_t>(depth_)) {
      return std::nullopt;
    }
    auto directory = ReadDirectory(tree, offset);
    if (directory) entered_[depth_++] = offset;
    return directory;
  }

 private:
  std::array<std::uint32_t, 3> entered_{0, 0, 0};  // the root, at offset 0, is entered first
  std::size_t depth_ = 1;
};

// The UTF-16 units of a text name: a 16-bit length, then that many units.
std::optional<FileView> NameUnits(FileView tree, const Entry& entry) {
  const auto length = tree.u16(entry.nameOffset());
  if (!length) return std::nullopt;
  return tree.sub(std::uint64_t{entry.nameOffset()} + 2, std::uint64_t{*length} * 2);
}

bool NameMatches(FileView tree, const Entry& entry, const ResourceName& name) {
  if (name.isId()) return entry.isId(name.id());
  if (!entry.isNamed()) return false;
  // Text names are compared exactly as stored, unit for unit.
  const auto units = NameUnits(tree, entry);
  const std::u16string& text = name.text();
  if (!units || units->size() != 2 * text.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (units->u16(2 * i) != text[i]) return false;
  }
  return true;
}

std::optional<ResourceName> DecodeName(FileView tree, const Entry& entry) {
  if (!entry.isNamed()) {
    if (entry.name > kMaxId) return std::nullopt;
    return ResourceName::FromId(static_cast<std::uint16_t>(entry.name));
  }
  const auto units = NameUnits(tree, entry);
  if (!units) return std::nullopt;
  std::u16string text(static_cast<std::size_t>(units->size() / 2), u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(units->u16(2 * i).value_or(0));
  return ResourceName::FromText(std::move(text));
}

// An integer name among the directory's integer entries, which linkers store
// in ascending order: found by halving, as the system's loader finds it, so
// that a module of 1840 images does not cost a scan per image. Nothing when
// the entries there are not in order or the id is absent.
std::optional<Entry> FindIdEntry(FileView tree, const Directory& directory, std::uint16_t id) {
  std::uint32_t low = std::min(directory.namedCount, directory.entryCount);
  std::uint32_t high = directory.entryCount;
  while (low < high) {
    const std::uint32_t middle = low + (high - low) / 2;
    const Entry entry = ReadEntry(tree, directory, middle);
    if (entry.isId(id)) return entry;
    if (!entry.isNamed() && entry.name < id) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return std::nullopt;
}

// The entry of the directory whose name matches and that leads to a
// subdirectory the walk may enter: for an integer name the one the halving
// search finds, else (text names, and directories stored out of order) the
// first one in the order stored.
std::optional<Directory> FindSubdirectory(FileView tree, TreePath& path, const Directory& directory,
                                          const ResourceName& name) {
  if (name.isId()) {
    if (const auto entry = FindIdEntry(tree, directory, name.id())) return path.Enter(tree, *entry);
  }
  for (std::uint32_t i = 0; i < directory.entryCount; ++i) {
    const Entry entry = ReadEntry(tree, directory, i);
    if (NameMatches(tree, entry, name)) return path.Enter(tree, entry);
  }
  return std::nullopt;
}

}  // namespace

std::optional<PeResources> PeResources::Parse(FileView file, std::uint32_t newHeaderOffset) {
  const std::uint64_t signature = newHeaderOffset;
  if (file.u32(signature) != kPeSignature) return std::nullopt;
  const std::uint64_t fileHeader = signature + kSignatureSize;
  const auto sectionCount = file.u16(fileHeader + kSectionCountField);
  const auto optionalSize = file.u16(fileHeader + kOptionalHeaderSizeField);
  if (!sectionCount || !optionalSize) return std::nullopt;

  const std::uint64_t optionalOffset = fileHeader + kFileHeaderSize;
  const auto optionalHeader = file.sub(optionalOffset, *optionalSize);
  if (!optionalHeader) return std::nullopt;
  const auto magic = optionalHeader->u16(0);
  std::uint64_t directoryCountField = 0;
  std::uint64_t directories = 0;
  if (magic == kMagicPe32) {
    directoryCountField = kDirectoryCountPe32;
    directories = kDirectoriesPe32;
  } else if (magic == kMagicPe32Plus) {
    directoryCountField = kDirectoryCountPe32Plus;
    directories = kDirectoriesPe32Plus;
  } else {
    return std::nullopt;
  }
  // The optional header must hold the data directories it declares (the
  // loader uses no more than 16 of them), and at least the resource directory.
  const auto directoryCount = optionalHeader->u32(directoryCountField);
  if (!directoryCount || *directoryCount <= kResourceDirectoryIndex) return std::nullopt;
  const std::uint32_t declared = std::min(*directoryCount, kMaxDataDirectories);
  if (!optionalHeader->contains(directories, kDataDirectorySize * declared)) return std::nullopt;
  const std::uint64_t resourceEntry = directories + kDataDirectorySize * kResourceDirectoryIndex;
  const std::uint32_t resourceRva = optionalHeader->u32(resourceEntry).value_or(0);
  const std::uint32_t resourceSize = optionalHeader->u32(resourceEntry + 4).value_or(0);

  PeResources pe;
  pe.sectionTable_ = optionalOffset + *optionalSize;
  pe.sectionCount_ = *sectionCount;
  if (!file.contains(pe.sectionTable_, kSectionHeaderSize * pe.sectionCount_)) return std::nullopt;

  if (resourceRva == 0 || resourceSize == 0) return pe;  // a module without resources
  // The root directory's header must lie in a section; the tree is read no
  // further than the end of that section's data in the file.
  const auto root = MapRva(file, pe.sectionTable_, pe.sectionCount_, resourceRva, kDirectoryHeaderSize);
  if (!root) return std::nullopt;
  pe.hasResources_ = true;
  pe.resourceRoot_ = root->offset;
  pe.resourceLimit_ = root->sectionEnd;
  return pe;
}

std::optional<std::uint64_t> PeResources::RvaToOffset(FileView file, std::uint32_t rva, std::uint32_t size) const {
  const auto mapped = MapRva(file, sectionTable_, sectionCount_, rva, size);
  if (!mapped) return std::nullopt;
  return mapped->offset;
}

bool PeResources::EnumNames(FileView file, std::uint16_t type,
                            const std::function<bool(const ResourceName&)>& callback) const {
  if (!hasResources_) return false;
  const auto tree = file.sub(resourceRoot_, resourceLimit_ - resourceRoot_);
  if (!tree) return false;
  TreePath path;
  const auto root = ReadDirectory(*tree, 0);
  if (!root) return false;
  const auto names = FindSubdirectory(*tree, path, *root, ResourceName::FromId(type));
  if (!names) return false;
  // The names in the order the directory stores them; an entry whose text
  // name lies outside the tree has no name to give and is passed over.
  for (std::uint32_t i = 0; i < names->entryCount; ++i) {
    const auto name = DecodeName(*tree, ReadEntry(*tree, *names, i));
    if (name && !callback(*name)) break;
  }
  return true;
}

// Language rule. A name may be stored in several languages. The one taken is
// preferredLanguage when that is given and stored, else the neutral language
// (0), else English (US) (0x409), else the first one the directory stores.
// Only entries that are data leaves with an integer language count.
std::optional<ResourceLocation> PeResources::Find(FileView file, const ResourceName& name, std::uint16_t type,
                                                  std::optional<std::uint16_t> preferredLanguage) const {
  if (!hasResources_) return std::nullopt;
  const auto tree = file.sub(resourceRoot_, resourceLimit_ - resourceRoot_);
  if (!tree) return std::nullopt;
  TreePath path;
  const auto root = ReadDirectory(*tree, 0);
  if (!root) return std::nullopt;
  const auto names = FindSubdirectory(*tree, path, *root, ResourceName::FromId(type));
  if (!names) return std::nullopt;
  const auto languages = FindSubdirectory(*tree, path, *names, name);
  if (!languages) return std::nullopt;

  std::optional<Entry> preferred, neutral, english, first;
  for (std::uint32_t i = 0; i < languages->entryCount; ++i) {
    const Entry entry = ReadEntry(*tree, *languages, i);
    if (entry.isNamed() || entry.isDirectory() || entry.name > kMaxId) continue;
    if (!first) first = entry;
    if (preferredLanguage && !preferred && entry.name == *preferredLanguage) preferred = entry;
    if (!neutral && entry.name == kLanguageNeutral) neutral = entry;
    if (!english && entry.name == kLanguageEnglishUs) english = entry;
  }
  const std::optional<Entry> chosen = preferred ? preferred : neutral ? neutral : english ? english : first;
  if (!chosen) return std::nullopt;

  const auto dataEntry = tree->sub(chosen->targetOffset(), kDataEntrySize);
  if (!dataEntry) return std::nullopt;
  const std::uint32_t dataRva = dataEntry->u32(0).value_or(0);
  const std::uint32_t dataSize = dataEntry->u32(4).value_or(0);
  if (dataSize == 0) return std::nullopt;
  const auto offset = RvaToOffset(file, dataRva, dataSize);
  if (!offset) return std::nullopt;
  return ResourceLocation{*offset, dataSize, static_cast<std::uint16_t>(chosen->name)};
}

}  // namespace brimlet
