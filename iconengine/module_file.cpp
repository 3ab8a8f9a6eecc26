#include "module_file.h"

#include <new>

namespace brimlet {

namespace {

constexpr std::uint16_t kDosSignature = 0x5A4D;   // "MZ"
constexpr std::uint64_t kNewHeaderPointer = 0x3C;  // e_lfanew, in the 64-byte DOS header

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

std::string ResourceName::display() const {
  if (isId()) return "#" + std::to_string(id());
  // UTF-16 to UTF-8; a surrogate without its partner becomes U+FFFD.
  constexpr std::uint32_t kReplacement = 0xFFFD;
  const std::u16string& units = text();
  std::string out;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const std::uint32_t unit = units[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (std::uint32_t{units[i + 1]} - 0xDC00));
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

std::optional<Module::Format> Module::ParseFormat(const FileView& bytes) {
  if (bytes.u16(0) != kDosSignature) return std::nullopt;
  const auto newHeader = bytes.u32(kNewHeaderPointer);
  if (!newHeader) return std::nullopt;
  if (auto pe = PeResources::Parse(bytes, *newHeader)) return Format(std::move(*pe));
  if (auto ne = NeResources::Parse(bytes, *newHeader)) return Format(std::move(*ne));
  return std::nullopt;
}

std::optional<Module> Module::Open(const std::string& path) {
  auto file = RandomAccessFile::Open(path);
  if (!file) return std::nullopt;
  try {
    // The reader lives on the heap, so the views into it stay good when the
    // module moves.
    auto reader = std::make_unique<FileReader>(std::move(*file));
    const FileView bytes(*reader);
    auto format = ParseFormat(bytes);
    if (!format) return std::nullopt;
    return Module(std::move(reader), bytes, std::move(*format));
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::optional<Module> Module::FromBytes(ByteSpan memory) {
  const FileView bytes(memory);
  auto format = ParseFormat(bytes);
  if (!format) return std::nullopt;
  return Module(nullptr, bytes, std::move(*format));
}

bool Module::EnumNames(std::uint16_t type, const std::function<bool(const ResourceName&)>& callback) const {
  try {
    return std::visit([&](const auto& format) { return format.EnumNames(bytes_, type, callback); }, format_);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

std::optional<ResourceLocation> Module::Find(const ResourceName& name, std::uint16_t type,
                                                     std::optional<std::uint16_t> preferredLanguage) const {
  return std::visit([&](const auto& format) { return format.Find(bytes_, name, type, preferredLanguage); },
                    format_);
}

std::optional<std::vector<std::uint8_t>> Module::Copy(const ResourceLocation& location) const {
  const auto resource = bytes_.sub(location.offset, location.size);
  if (!resource) return std::nullopt;
  return resource->copy();
}

std::optional<ByteSpan> Module::Load(const ResourceLocation& location) const {
  const auto resource = bytes_.sub(location.offset, location.size);
  if (!resource) return std::nullopt;
  return resource->bytes();
}

}  // namespace brimlet
