#include "drop/icon_check.h"

#include <windows.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "byte_span.h"

namespace brimlet::test {

namespace {

struct ModuleFree {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
using OwnedModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFree>;

// A resource name: a number, or a text copied out of the enumeration.
struct ResourceName {
  WORD id = 0;
  std::string text;
  LPCSTR get() const { return text.empty() ? MAKEINTRESOURCEA(id) : text.c_str(); }
};

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR names) {
  ResourceName entry;
  if (IS_INTRESOURCE(name)) {
    entry.id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
  } else {
    entry.text = name;
  }
  reinterpret_cast<std::vector<ResourceName>*>(names)->push_back(entry);
  return TRUE;
}

std::optional<ByteSpan> ResourceBytes(HMODULE module, LPCSTR name, LPCSTR type) {
  HRSRC info = FindResourceA(module, name, type);
  if (info == nullptr) return std::nullopt;
  HGLOBAL loaded = LoadResource(module, info);
  if (loaded == nullptr) return std::nullopt;
  const void* bytes = LockResource(loaded);
  if (bytes == nullptr) return std::nullopt;
  return ByteSpan(static_cast<const std::uint8_t*>(bytes), SizeofResource(module, info));
}

}  // namespace

std::optional<GroupImages> IcoImages(const std::vector<std::uint8_t>& file) {
  const ByteSpan bytes(file);
  const auto reserved = bytes.u16(0);
  const auto type = bytes.u16(2);
  const auto count = bytes.u16(4);
  if (!reserved || !type || !count || *reserved != 0 || *type != 1) return std::nullopt;
  GroupImages images;
  for (std::uint32_t i = 0; i < *count; ++i) {
    const std::uint64_t entry = 6 + 16 * static_cast<std::uint64_t>(i);
    const auto size = bytes.u32(entry + 8);
    const auto offset = bytes.u32(entry + 12);
    if (!size || !offset) return std::nullopt;
    const auto image = bytes.sub(*offset, *size);
    if (!image) return std::nullopt;
    images.push_back(image->copy());
  }
  return images;
}

std::vector<GroupImages> ModuleGroupImages(const std::string& modulePath) {
  std::vector<GroupImages> groups;
  const OwnedModule module(LoadLibraryExA(modulePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (!module) return groups;
  std::vector<ResourceName> names;
  EnumResourceNamesA(module.get(), MAKEINTRESOURCEA(14), CollectName, reinterpret_cast<LONG_PTR>(&names));
  for (const ResourceName& name : names) {
    GroupImages images;
    const auto directory = ResourceBytes(module.get(), name.get(), MAKEINTRESOURCEA(14));
    const auto count = directory ? directory->u16(4) : std::nullopt;
    for (std::uint32_t i = 0; count && i < *count; ++i) {
      const auto id = directory->u16(6 + 14 * static_cast<std::uint64_t>(i) + 12);
      if (!id) break;
      const auto image = ResourceBytes(module.get(), MAKEINTRESOURCEA(*id), MAKEINTRESOURCEA(3));
      if (image) images.push_back(image->copy());
    }
    groups.push_back(std::move(images));
  }
  return groups;
}

ImageBytes AsWrittenInIco(ImageBytes image) {
  const auto headerSize = ByteSpan(image).u32(0);
  if (headerSize && *headerSize == 40 && image.size() >= 24) {
    for (std::size_t i = 20; i < 24; ++i) image[i] = 0;
  }
  return image;
}

std::string CompareIcoWithGroup(const GroupImages& written, const GroupImages& group) {
  if (written.size() != group.size()) {
    return "the file holds " + std::to_string(written.size()) + " images, the group " + std::to_string(group.size());
  }
  std::string differences;
  for (std::size_t i = 0; i < group.size(); ++i) {
    if (written[i] != AsWrittenInIco(group[i])) {
      differences += "image " + std::to_string(i) + " differs (" + std::to_string(written[i].size()) + " bytes written, " +
                     std::to_string(group[i].size()) + " stored); ";
    }
  }
  return differences;
}

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool UnderWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace brimlet::test
