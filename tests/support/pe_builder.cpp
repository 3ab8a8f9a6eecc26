#include "support/pe_builder.h"

#include <algorithm>
#include <stdexcept>

#include "support/image_builder.h"

namespace brimlet::test {

namespace {

constexpr std::size_t kFileAlignment = 0x200;
constexpr std::size_t kSectionAlignment = 0x1000;
constexpr std::uint32_t kTextRva = 0x1000;
constexpr std::size_t kTextSize = 0x200;
constexpr std::uint32_t kSubdirectory = 0x80000000u;

std::size_t AlignUp(std::size_t value, std::size_t alignment) { return (value + alignment - 1) / alignment * alignment; }

// Linkers store text names first, in order of their units, then integers
// ascending.
bool StoredBefore(const ResourceName& a, const ResourceName& b) {
  if (a.isId() != b.isId()) return !a.isId();
  if (a.isId()) return a.id() < b.id();
  return a.text() < b.text();
}

void PutName(std::vector<std::uint8_t>& bytes, std::size_t offset, const char* name) {
  for (std::size_t i = 0; name[i] != '\0' && i < 8; ++i) bytes.at(offset + i) = static_cast<std::uint8_t>(name[i]);
}

}  // namespace

const PeResourceLayout& PeLayout::of(std::uint16_t type, const ResourceName& name,
                                     std::optional<std::uint16_t> language) const {
  for (const auto& resource : resources) {
    if (resource.type == type && resource.name == name && (!language || resource.language == *language)) {
      return resource;
    }
  }
  throw std::out_of_range("no such resource in the fixture: " + name.display());
}

GroupEntry GroupEntryFor(std::uint16_t id, const std::vector<std::uint8_t>& image) {
  auto read32 = [&](std::size_t at) -> std::uint32_t {
    if (image.size() < at + 4) return 0;
    return std::uint32_t{image[at]} | std::uint32_t{image[at + 1]} << 8 | std::uint32_t{image[at + 2]} << 16 |
           std::uint32_t{image[at + 3]} << 24;
  };
  auto read16 = [&](std::size_t at) -> std::uint16_t {
    if (image.size() < at + 2) return 0;
    return static_cast<std::uint16_t>(image[at] | image[at + 1] << 8);
  };
  GroupEntry entry;
  entry.width = static_cast<std::uint8_t>(read32(4));          // 256 wraps to 0, as stored
  entry.height = static_cast<std::uint8_t>(read32(8) / 2);
  entry.planes = read16(12);
  entry.bitCount = read16(14);
  entry.colorCount = static_cast<std::uint8_t>(entry.bitCount < 8 ? 1u << entry.bitCount : 0u);
  entry.bytesInResource = static_cast<std::uint32_t>(image.size());
  entry.id = id;
  return entry;
}

std::vector<std::uint8_t> BuildGroupDirectory(const std::vector<GroupEntry>& entries,
                                              std::optional<std::uint16_t> countOverride) {
  std::vector<std::uint8_t> bytes;
  AppendU16(bytes, 0);
  AppendU16(bytes, 1);
  AppendU16(bytes, countOverride.value_or(static_cast<std::uint16_t>(entries.size())));
  for (const GroupEntry& entry : entries) {
    bytes.push_back(entry.width);
    bytes.push_back(entry.height);
    bytes.push_back(entry.colorCount);
    bytes.push_back(0);
    AppendU16(bytes, entry.planes);
    AppendU16(bytes, entry.bitCount);
    AppendU32(bytes, entry.bytesInResource);
    AppendU16(bytes, entry.id);
  }
  return bytes;
}

PeBuilder& PeBuilder::AddResource(std::uint16_t type, const ResourceName& name, std::uint16_t language,
                                  std::vector<std::uint8_t> data) {
  for (Resource& resource : resources_) {
    if (resource.type == type && resource.name == name && resource.language == language) {
      resource.data = std::move(data);
      return *this;
    }
  }
  resources_.push_back(Resource{type, name, language, std::move(data)});
  return *this;
}

PeBuilder& PeBuilder::AddIcon(std::uint16_t id, std::vector<std::uint8_t> image, std::uint16_t language) {
  return AddResource(kResourceTypeIcon, ResourceName::FromId(id), language, std::move(image));
}

PeBuilder& PeBuilder::AddIconGroup(const ResourceName& name, const std::vector<std::uint16_t>& iconIds,
                                   std::uint16_t language) {
  std::vector<GroupEntry> entries;
  for (const std::uint16_t id : iconIds) {
    GroupEntry entry;
    entry.id = id;
    for (const Resource& resource : resources_) {
      if (resource.type == kResourceTypeIcon && resource.name == ResourceName::FromId(id)) {
        entry = GroupEntryFor(id, resource.data);
        break;
      }
    }
    entries.push_back(entry);
  }
  return AddResource(kResourceTypeGroupIcon, name, language, BuildGroupDirectory(entries));
}

std::vector<std::uint8_t> PeBuilder::Build(PeLayout* layoutOut) const {
  // The tree's shape: types, their names, the names' languages.
  struct NameNode {
    ResourceName name;
    std::vector<std::size_t> resources;  // indices into resources_, one per language
  };
  struct TypeNode {
    std::uint16_t type;
    std::vector<NameNode> names;
  };
  std::vector<TypeNode> types;
  for (std::size_t i = 0; i < resources_.size(); ++i) {
    const Resource& resource = resources_[i];
    auto type = std::find_if(types.begin(), types.end(), [&](const TypeNode& t) { return t.type == resource.type; });
    if (type == types.end()) type = types.insert(types.end(), TypeNode{resource.type, {}});
    auto name = std::find_if(type->names.begin(), type->names.end(),
                             [&](const NameNode& n) { return n.name == resource.name; });
    if (name == type->names.end()) name = type->names.insert(type->names.end(), NameNode{resource.name, {}});
    name->resources.push_back(i);
  }
  if (options_.sortEntries) {
    std::stable_sort(types.begin(), types.end(), [](const TypeNode& a, const TypeNode& b) { return a.type < b.type; });
    for (TypeNode& type : types) {
      std::stable_sort(type.names.begin(), type.names.end(),
                       [](const NameNode& a, const NameNode& b) { return StoredBefore(a.name, b.name); });
      for (NameNode& name : type.names) {
        std::stable_sort(name.resources.begin(), name.resources.end(), [&](std::size_t a, std::size_t b) {
          return resources_[a].language < resources_[b].language;
        });
      }
    }
  }

  // Offsets inside the tree, from its root.
  std::size_t cursor = 16 + 8 * types.size();
  std::vector<std::size_t> typeDirectories;
  for (const TypeNode& type : types) {
    typeDirectories.push_back(cursor);
    cursor += 16 + 8 * type.names.size();
  }
  std::vector<std::vector<std::size_t>> languageDirectories(types.size());
  for (std::size_t t = 0; t < types.size(); ++t) {
    for (const NameNode& name : types[t].names) {
      languageDirectories[t].push_back(cursor);
      cursor += 16 + 8 * name.resources.size();
    }
  }
  std::vector<std::size_t> dataEntries(resources_.size());
  for (const TypeNode& type : types) {
    for (const NameNode& name : type.names) {
      for (const std::size_t r : name.resources) {
        dataEntries[r] = cursor;
        cursor += 16;
      }
    }
  }
  std::vector<std::vector<std::size_t>> nameStrings(types.size());
  for (std::size_t t = 0; t < types.size(); ++t) {
    for (const NameNode& name : types[t].names) {
      nameStrings[t].push_back(name.name.isId() ? 0 : cursor);
      if (!name.name.isId()) cursor = AlignUp(cursor + 2 + 2 * name.name.text().size(), 2);
    }
  }
  std::vector<std::size_t> dataOffsets(resources_.size());
  for (std::size_t r = 0; r < resources_.size(); ++r) {
    cursor = AlignUp(cursor, 8);
    dataOffsets[r] = cursor;
    cursor += resources_[r].data.size();
  }
  const std::size_t treeSize = cursor;

  // The headers.
  const bool plus = options_.pe32Plus;
  const std::size_t newHeader = std::max<std::size_t>(options_.newHeaderOffset, 0x40);
  const std::size_t fileHeader = newHeader + 4;
  const std::size_t optionalHeader = fileHeader + 20;
  const std::size_t directoriesAt = plus ? 112 : 96;
  const std::size_t optionalSize = directoriesAt + 8 * std::size_t{options_.numberOfRvaAndSizes};
  const std::size_t sectionTable = optionalHeader + optionalSize;
  const std::size_t headersSize = AlignUp(sectionTable + 2 * 40, kFileAlignment);
  const std::size_t textRaw = headersSize;
  const std::size_t resourceRaw = textRaw + kTextSize;
  const std::size_t resourceRawSize = AlignUp(treeSize, kFileAlignment);
  const std::uint32_t resourceRva = options_.resourceSectionRva;
  const std::size_t imageSize = AlignUp(resourceRva + treeSize, kSectionAlignment);

  std::vector<std::uint8_t> bytes(resourceRaw + resourceRawSize, 0);
  bytes[0] = 'M';
  bytes[1] = 'Z';
  PutU32(bytes, 0x3C, static_cast<std::uint32_t>(newHeader));
  PutU32(bytes, newHeader, 0x00004550);
  PutU16(bytes, fileHeader, plus ? 0x8664 : 0x014C);
  PutU16(bytes, fileHeader + 2, 2);
  PutU16(bytes, fileHeader + 16, static_cast<std::uint16_t>(optionalSize));
  PutU16(bytes, fileHeader + 18, plus ? 0x2022 : 0x2102);
  PutU16(bytes, optionalHeader, plus ? 0x20B : 0x10B);
  PutU32(bytes, optionalHeader + 4, static_cast<std::uint32_t>(kTextSize));  // SizeOfCode
  PutU32(bytes, optionalHeader + 8, static_cast<std::uint32_t>(resourceRawSize));
  PutU32(bytes, optionalHeader + 20, kTextRva);  // BaseOfCode
  if (plus) {
    PutU32(bytes, optionalHeader + 24, 0x80000000u);  // ImageBase, low half
    PutU32(bytes, optionalHeader + 28, 0x1);
  } else {
    PutU32(bytes, optionalHeader + 24, resourceRva);  // BaseOfData
    PutU32(bytes, optionalHeader + 28, 0x10000000u);  // ImageBase
  }
  PutU32(bytes, optionalHeader + 32, static_cast<std::uint32_t>(kSectionAlignment));
  PutU32(bytes, optionalHeader + 36, static_cast<std::uint32_t>(kFileAlignment));
  PutU16(bytes, optionalHeader + 40, 4);  // operating system version
  PutU16(bytes, optionalHeader + 48, 4);  // subsystem version
  PutU32(bytes, optionalHeader + 56, static_cast<std::uint32_t>(imageSize));
  PutU32(bytes, optionalHeader + 60, static_cast<std::uint32_t>(headersSize));
  PutU16(bytes, optionalHeader + 68, 2);  // Windows GUI
  PutU32(bytes, optionalHeader + (plus ? 108 : 92), options_.numberOfRvaAndSizes);
  const std::size_t directories = optionalHeader + directoriesAt;
  if (options_.resourceDirectory && options_.numberOfRvaAndSizes > 2) {
    PutU32(bytes, directories + 16, resourceRva);
    PutU32(bytes, directories + 20, static_cast<std::uint32_t>(treeSize));
  }

  PutName(bytes, sectionTable, ".text");
  PutU32(bytes, sectionTable + 8, 0x10);
  PutU32(bytes, sectionTable + 12, kTextRva);
  PutU32(bytes, sectionTable + 16, static_cast<std::uint32_t>(kTextSize));
  PutU32(bytes, sectionTable + 20, static_cast<std::uint32_t>(textRaw));
  PutU32(bytes, sectionTable + 36, 0x60000020u);  // code, execute, read
  std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(textRaw),
            bytes.begin() + static_cast<std::ptrdiff_t>(textRaw + kTextSize), std::uint8_t{0xCC});
  const std::size_t resourceHeader = sectionTable + 40;
  PutName(bytes, resourceHeader, ".rsrc");
  PutU32(bytes, resourceHeader + 8, static_cast<std::uint32_t>(treeSize));
  PutU32(bytes, resourceHeader + 12, resourceRva);
  PutU32(bytes, resourceHeader + 16, static_cast<std::uint32_t>(resourceRawSize));
  PutU32(bytes, resourceHeader + 20, static_cast<std::uint32_t>(resourceRaw));
  PutU32(bytes, resourceHeader + 36, 0x40000040u);  // initialised data, read

  // The tree.
  PeLayout layout;
  layout.newHeader = newHeader;
  layout.fileHeader = fileHeader;
  layout.optionalHeader = optionalHeader;
  layout.dataDirectories = directories;
  layout.sectionTable = sectionTable;
  layout.resourceSectionHeader = resourceHeader;
  layout.resourceRoot = resourceRaw;
  layout.resourceRva = resourceRva;
  layout.resources.resize(resources_.size());

  auto writeDirectory = [&](std::size_t at, std::size_t named, std::size_t ids) {
    PutU16(bytes, resourceRaw + at + 12, static_cast<std::uint16_t>(named));
    PutU16(bytes, resourceRaw + at + 14, static_cast<std::uint16_t>(ids));
  };
  auto writeEntry = [&](std::size_t directory, std::size_t index, std::uint32_t name, std::uint32_t target) {
    const std::size_t at = resourceRaw + directory + 16 + 8 * index;
    PutU32(bytes, at, name);
    PutU32(bytes, at + 4, target);
    return at;
  };
  writeDirectory(0, 0, types.size());
  for (std::size_t t = 0; t < types.size(); ++t) {
    const TypeNode& type = types[t];
    const std::size_t typeEntry = writeEntry(0, t, type.type, kSubdirectory | static_cast<std::uint32_t>(typeDirectories[t]));
    const auto named = static_cast<std::size_t>(
        std::count_if(type.names.begin(), type.names.end(), [](const NameNode& n) { return !n.name.isId(); }));
    writeDirectory(typeDirectories[t], named, type.names.size() - named);
    for (std::size_t n = 0; n < type.names.size(); ++n) {
      const NameNode& name = type.names[n];
      std::uint32_t nameField = 0;
      if (name.name.isId()) {
        nameField = name.name.id();
      } else {
        nameField = kSubdirectory | static_cast<std::uint32_t>(nameStrings[t][n]);
        const std::u16string& text = name.name.text();
        PutU16(bytes, resourceRaw + nameStrings[t][n], static_cast<std::uint16_t>(text.size()));
        for (std::size_t i = 0; i < text.size(); ++i) {
          PutU16(bytes, resourceRaw + nameStrings[t][n] + 2 + 2 * i, static_cast<std::uint16_t>(text[i]));
        }
      }
      const std::size_t nameEntry = writeEntry(typeDirectories[t], n, nameField,
                                               kSubdirectory | static_cast<std::uint32_t>(languageDirectories[t][n]));
      writeDirectory(languageDirectories[t][n], 0, name.resources.size());
      for (std::size_t l = 0; l < name.resources.size(); ++l) {
        const std::size_t r = name.resources[l];
        const Resource& resource = resources_[r];
        const std::size_t languageEntry =
            writeEntry(languageDirectories[t][n], l, resource.language, static_cast<std::uint32_t>(dataEntries[r]));
        PutU32(bytes, resourceRaw + dataEntries[r], resourceRva + static_cast<std::uint32_t>(dataOffsets[r]));
        PutU32(bytes, resourceRaw + dataEntries[r] + 4, static_cast<std::uint32_t>(resource.data.size()));
        std::copy(resource.data.begin(), resource.data.end(),
                  bytes.begin() + static_cast<std::ptrdiff_t>(resourceRaw + dataOffsets[r]));

        PeResourceLayout& where = layout.resources[r];
        where.type = resource.type;
        where.name = resource.name;
        where.language = resource.language;
        where.typeEntry = typeEntry;
        where.typeDirectory = resourceRaw + typeDirectories[t];
        where.nameEntry = nameEntry;
        where.languageDirectory = resourceRaw + languageDirectories[t][n];
        where.languageEntry = languageEntry;
        where.dataEntry = resourceRaw + dataEntries[r];
        where.nameString = name.name.isId() ? 0 : resourceRaw + nameStrings[t][n];
        where.data = resourceRaw + dataOffsets[r];
      }
    }
  }
  if (layoutOut != nullptr) *layoutOut = std::move(layout);
  return bytes;
}

}  // namespace brimlet::test
