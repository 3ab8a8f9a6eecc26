// Our own reader of executable modules' resources. It opens a file as a module
// without running anything, and reads no more of it than a call needs: the
// headers, the section table, the path through the resource tree and the
// bytes of the resources asked for.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <memory>
#include <variant>
#include <vector>
#include <utility>

#include "byte_span.h"
#include "file_view.h"
#include "ne_resources.h"
#include "pe_resources.h"
#include "platform/platform_file.h"

namespace brimlet {

inline constexpr std::uint16_t kResourceTypeIcon = 3;        // RT_ICON
inline constexpr std::uint16_t kResourceTypeGroupIcon = 14;  // RT_GROUP_ICON

// A resource name: an integer identifier, or a text exactly as the module
// stores it (UTF-16 code units in a PE file).
class ResourceName {
 public:
  static ResourceName FromId(std::uint16_t id) { return ResourceName(id); }
  static ResourceName FromText(std::u16string text) { return ResourceName(std::move(text)); }

  bool isId() const { return std::holds_alternative<std::uint16_t>(value_); }
  std::uint16_t id() const { return std::get<std::uint16_t>(value_); }
  const std::u16string& text() const { return std::get<std::u16string>(value_); }
  // "#5" for an identifier, the text in UTF-8 otherwise: for listings.
  std::string display() const;

  friend bool operator==(const ResourceName&, const ResourceName&) = default;

 private:
  explicit ResourceName(std::uint16_t id) : value_(id) {}
  explicit ResourceName(std::u16string text) : value_(std::move(text)) {}
  std::variant<std::uint16_t, std::u16string> value_;
};

// Where a found resource's bytes lie in the module, and in which language it
// was found.
struct ResourceLocation {
  std::uint64_t offset = 0;  // from the start of the file
  std::uint32_t size = 0;
  std::uint16_t language = 0;
  // The unit the stored size is rounded up to: 1 in a PE module; in an NE
  // module the table's alignment, so up to lengthUnit - 1 bytes at the end
  // may be padding.
  std::uint32_t lengthUnit = 1;
};

class Module {
 public:
  // Opens path as a module; nullopt when it is not one we can read.
  static std::optional<Module> Open(const std::string& path);
  // The same over bytes already in memory (tests and fuzzing); the bytes must
  // outlive the module.
  static std::optional<Module> FromBytes(ByteSpan bytes);

  Module(Module&&) noexcept = default;
  Module& operator=(Module&&) noexcept = default;
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;
  ~Module() = default;

  // Calls callback with each name of the type, in the order of the resource
  // directory, while it gives true. False when the module has no resource of
  // the type.
  bool EnumNames(std::uint16_t type, const std::function<bool(const ResourceName&)>& callback) const;

  // Finds a resource by name and type. When the name is stored in several
  // languages, preferredLanguage is taken first if given, then the rule the
  // implementation documents.
  std::optional<ResourceLocation> Find(const ResourceName& name, std::uint16_t type,
                                               std::optional<std::uint16_t> preferredLanguage = {}) const;

  // The bytes of a found resource; nullopt when they do not lie in the file.
  std::optional<ByteSpan> Load(const ResourceLocation& location) const;
  // The same bytes copied into a new block, read straight from the file: what
  // the group reader keeps of each image.
  std::optional<std::vector<std::uint8_t>> Copy(const ResourceLocation& location) const;
  static std::uint32_t SizeOf(const ResourceLocation& location) { return location.size; }

 private:
  // The parsed facts of the module, one alternative per file format that we
  // read. Each alternative offers Parse, EnumNames and Find over the file's
  // bytes (see pe_resources.h); the public calls dispatch to the one held. A
  // reader of another format is added here and in ParseFormat.
  using Format = std::variant<PeResources, NeResources>;

  Module(std::unique_ptr<FileReader> reader, FileView bytes, Format format)
      : reader_(std::move(reader)), bytes_(bytes), format_(std::move(format)) {}
  // Tells the format from the DOS header and the signature after it, and
  // parses that format's headers.
  static std::optional<Format> ParseFormat(const FileView& bytes);

  // The open file, when the module owns one. Its bytes are read when they are
  // looked at, a few blocks for the headers and the path through the
  // resources, so that opening a module costs microseconds, not a mapping.
  std::unique_ptr<FileReader> reader_;
  FileView bytes_;  // the whole file; reads through reader_ when there is one
  Format format_;
};

}  // namespace brimlet
