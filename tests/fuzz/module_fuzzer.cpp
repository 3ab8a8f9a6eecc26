// The module reader on arbitrary bytes: open, list the icon groups, load every
// one, and write each as an ICO file and its first image as a BMP file, all
// into memory.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "bitmap_output.h"
#include "byte_sink.h"
#include "ico_writer.h"
#include "module_file.h"
#include "module_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brimlet;
  const auto module = Module::FromBytes(ByteSpan(data, size));
  if (!module) return 0;

  std::vector<ResourceName> groups;
  module->EnumNames(kResourceTypeGroupIcon, [&](const ResourceName& name) {
    groups.push_back(name);
    return true;
  });
  // The image resources by themselves too: every one found must lie in the
  // file. The first few hundred are enough; all of a damaged table's
  // thousands, each looked up again, would only make the run slow.
  int images = 0;
  module->EnumNames(kResourceTypeIcon, [&](const ResourceName& name) {
    if (const auto location = module->Find(name, kResourceTypeIcon)) {
      if (const auto bytes = module->Load(*location)) {
        if (bytes->size() != Module::SizeOf(*location)) __builtin_trap();
      }
    }
    return ++images < 256;
  });

  for (const ResourceName& name : groups) {
    const auto set = LoadModuleIconGroup(*module, "fuzz", name);
    if (!set) continue;
    MemorySink ico;
    WriteIcoFile(*set, ico);
    if (!set->frames.empty()) {
      MemorySink bmp;
      WriteFrameAsBitmap(set->frames.front(), bmp);
    }
  }
  return 0;
}
