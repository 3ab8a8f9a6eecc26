#include "support/ne_builder.h"

#include <algorithm>
#include <stdexcept>

namespace brimlet::test {

namespace {

void Put16(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint16_t value) {
  bytes.at(offset) = static_cast<std::uint8_t>(value);
  bytes.at(offset + 1) = static_cast<std::uint8_t>(value >> 8);
}
void Put32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
  Put16(bytes, offset, static_cast<std::uint16_t>(value));
  Put16(bytes, offset + 2, static_cast<std::uint16_t>(value >> 16));
}
void Append16(std::vector<std::uint8_t>& bytes, std::uint16_t value) {
  bytes.push_back(static_cast<std::uint8_t>(value));
  bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}
void AppendText(std::vector<std::uint8_t>& bytes, const std::string& text) {
  bytes.push_back(static_cast<std::uint8_t>(text.size()));
  bytes.insert(bytes.end(), text.begin(), text.end());
}
std::uint16_t Narrow16(std::size_t value) {
  if (value > 0xFFFF) throw std::length_error("NE fixture field does not fit in 16 bits");
  return static_cast<std::uint16_t>(value);
}
bool SameName(const NeName& a, const NeName& b) { return a.isId == b.isId && a.id == b.id && a.text == b.text; }

std::uint32_t Read32(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  if (offset + 4 > bytes.size()) return 0;
  return std::uint32_t{bytes[offset]} | std::uint32_t{bytes[offset + 1]} << 8 |
         std::uint32_t{bytes[offset + 2]} << 16 | std::uint32_t{bytes[offset + 3]} << 24;
}
std::uint16_t Read16(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  if (offset + 2 > bytes.size()) return 0;
  return static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

constexpr std::size_t kNeHeaderOffset = 0x40;
constexpr std::size_t kNeHeaderSize = 0x40;

}  // namespace

NeBuilder& NeBuilder::Add(const NeName& type, const NeName& name, std::vector<std::uint8_t> data) {
  resources_.push_back(Resource{type, name, std::move(data)});
  return *this;
}

NeBuilder& NeBuilder::AddIconGroup(const NeName& name, const std::vector<std::vector<std::uint8_t>>& images,
                                   std::uint16_t firstImageId) {
  std::vector<std::uint16_t> ids;
  for (std::size_t i = 0; i < images.size(); ++i) {
    ids.push_back(Narrow16(firstImageId + i));
    Add(NeName::Id(kNeTypeIcon & 0x7FFF), NeName::Id(ids.back()), images[i]);
  }
  return Add(NeName::Id(kNeTypeGroupIcon & 0x7FFF), name, BuildGroupDirectory(images, ids));
}

NeModule NeBuilder::Build() const {
  NeModule module;
  std::vector<std::uint8_t>& out = module.bytes;
  NeLayout& layout = module.layout;

  // DOS header: "MZ", e_lfanew.
  out.assign(kNeHeaderOffset, 0);
  out[0] = 'M';
  out[1] = 'Z';
  Put16(out, 0x18, 0x40);  // e_lfarlc: a new-format executable
  Put32(out, 0x3C, static_cast<std::uint32_t>(kNeHeaderOffset));

  // NE header; the table offsets are filled in below.
  layout.neHeader = out.size();
  out.resize(out.size() + kNeHeaderSize, 0);
  out[kNeHeaderOffset] = 'N';
  out[kNeHeaderOffset + 1] = 'E';
  out[kNeHeaderOffset + 2] = 5;   // linker version
  out[kNeHeaderOffset + 3] = 10;  // linker revision
  Put16(out, kNeHeaderOffset + 0x0C, library_ ? 0x8000 : 0x0302);  // library, or a Windows program
  Put16(out, kNeHeaderOffset + 0x32, 9);                           // segment alignment shift
  out[kNeHeaderOffset + 0x36] = 2;                                 // target: Windows
  Put16(out, kNeHeaderOffset + 0x3E, 0x030A);                      // expected Windows version 3.10

  // Resource table: types in the order first added.
  std::vector<NeName> types;
  for (const Resource& r : resources_) {
    if (std::none_of(types.begin(), types.end(), [&](const NeName& t) { return SameName(t, r.type); })) {
      types.push_back(r.type);
    }
  }
  layout.resourceTable = out.size();
  Append16(out, alignShift_);
  layout.entries.assign(resources_.size(), 0);
  struct NameFix {
    std::size_t field;
    std::string text;
  };
  std::vector<NameFix> nameFixes;
  for (const NeName& type : types) {
    const std::size_t typeField = out.size();
    Append16(out, 0);
    if (type.isId) {
      Put16(out, typeField, static_cast<std::uint16_t>(type.id | 0x8000));
    } else {
      nameFixes.push_back({typeField, type.text});
    }
    const std::size_t count = static_cast<std::size_t>(std::count_if(
        resources_.begin(), resources_.end(), [&](const Resource& r) { return SameName(r.type, type); }));
    Append16(out, Narrow16(count));
    out.resize(out.size() + 4, 0);  // reserved
    for (std::size_t i = 0; i < resources_.size(); ++i) {
      const Resource& r = resources_[i];
      if (!SameName(r.type, type)) continue;
      layout.entries[i] = out.size();
      out.resize(out.size() + 12, 0);
      Put16(out, layout.entries[i] + 4, 0x1C30);  // moveable, pure, preload, discardable
      if (r.name.isId) {
        Put16(out, layout.entries[i] + 6, static_cast<std::uint16_t>(r.name.id | 0x8000));
      } else {
        nameFixes.push_back({layout.entries[i] + 6, r.name.text});
      }
    }
  }
  layout.typeListEnd = out.size();
  Append16(out, 0);
  for (const NameFix& fix : nameFixes) {
    layout.names.push_back(out.size());
    Put16(out, fix.field, Narrow16(out.size() - layout.resourceTable));
    AppendText(out, fix.text);
  }
  out.push_back(0);  // no more names

  // Resident names: the module name, ordinal 0. Then an empty module
  // reference table, an empty imported names table and an empty entry table.
  layout.residentNames = out.size();
  AppendText(out, library_ ? "ICONS" : "PROGRAM");
  Append16(out, 0);
  out.push_back(0);
  const std::size_t moduleRefs = out.size();
  const std::size_t importedNames = out.size();
  out.push_back(0);
  const std::size_t entryTable = out.size();
  out.push_back(0);
  out.push_back(0);
  const std::size_t nonResidentNames = out.size();
  AppendText(out, "Brimlet test fixture");
  Append16(out, 0);
  out.push_back(0);

  Put16(out, kNeHeaderOffset + 0x04, Narrow16(entryTable - kNeHeaderOffset));
  Put16(out, kNeHeaderOffset + 0x06, 2);
  Put16(out, kNeHeaderOffset + 0x20, Narrow16(out.size() - nonResidentNames));
  Put16(out, kNeHeaderOffset + 0x22, Narrow16(layout.resourceTable - kNeHeaderOffset));  // no segments
  Put16(out, kNeHeaderOffset + 0x24, Narrow16(layout.resourceTable - kNeHeaderOffset));
  Put16(out, kNeHeaderOffset + 0x26, Narrow16(layout.residentNames - kNeHeaderOffset));
  Put16(out, kNeHeaderOffset + 0x28, Narrow16(moduleRefs - kNeHeaderOffset));
  Put16(out, kNeHeaderOffset + 0x2A, Narrow16(importedNames - kNeHeaderOffset));
  Put32(out, kNeHeaderOffset + 0x2C, static_cast<std::uint32_t>(nonResidentNames));
  Put16(out, kNeHeaderOffset + 0x34, Narrow16(resources_.size()));

  // The resources' bytes, each at a multiple of the alignment, padded to it.
  const std::size_t unit = std::size_t{1} << alignShift_;
  for (std::size_t i = 0; i < resources_.size(); ++i) {
    out.resize((out.size() + unit - 1) / unit * unit, 0);
    Put16(out, layout.entries[i], Narrow16(out.size() / unit));
    Put16(out, layout.entries[i] + 2, Narrow16((resources_[i].data.size() + unit - 1) / unit));
    out.insert(out.end(), resources_[i].data.begin(), resources_[i].data.end());
  }
  out.resize((out.size() + unit - 1) / unit * unit, 0);
  return module;
}

std::vector<std::uint8_t> BuildGroupDirectory(const std::vector<std::vector<std::uint8_t>>& images,
                                              const std::vector<std::uint16_t>& ids) {
  std::vector<std::uint8_t> out;
  Append16(out, 0);
  Append16(out, 1);
  Append16(out, Narrow16(images.size()));
  for (std::size_t i = 0; i < images.size(); ++i) {
    const std::vector<std::uint8_t>& image = images[i];
    const std::uint32_t width = Read32(image, 4);
    const std::uint32_t height = Read32(image, 8) / 2;
    const std::uint16_t bitCount = Read16(image, 14);
    out.push_back(static_cast<std::uint8_t>(width >= 256 ? 0 : width));
    out.push_back(static_cast<std::uint8_t>(height >= 256 ? 0 : height));
    out.push_back(static_cast<std::uint8_t>(bitCount < 8 ? 1u << bitCount : 0u));
    out.push_back(0);
    Append16(out, 1);
    Append16(out, bitCount);
    Append16(out, static_cast<std::uint16_t>(image.size()));
    Append16(out, static_cast<std::uint16_t>(image.size() >> 16));
    Append16(out, ids.at(i));
  }
  return out;
}

}  // namespace brimlet::test
