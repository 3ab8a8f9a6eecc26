// Writes the fixture part of the fuzz targets' seed corpora: the modules and
// ICO files the tests build, in the forms the three targets take them. Run
// again when the builders change:
//   build/linux/tests/fuzz_seed_writer tests/fuzz/corpus
// The real files of the corpora (Wine's fonts and modules, Debian's ICO files)
// are copied in beside these by tests/fuzz/seed-real.sh.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "ico_writer.h"
#include "icon_set.h"
#include "module_file.h"
#include "support/image_builder.h"
#include "support/ne_builder.h"
#include "support/pe_builder.h"
#include "support/test_paths.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace brimlet;
using namespace brimlet::test;

bool Save(const std::string& path, const Bytes& bytes) {
  if (WriteFileBytes(path, bytes.data(), bytes.size())) return true;
  std::fprintf(stderr, "cannot write %s\n", path.c_str());
  return false;
}

// The extract target's input: a selector byte (source suffix in bits 0-2,
// output suffix in bits 3-4, clipboard in bit 5), the icon number, the file.
Bytes ForExtract(std::uint8_t selector, std::int8_t number, const Bytes& file) {
  Bytes out(file.size() + 2);
  out[0] = selector;
  out[1] = static_cast<std::uint8_t>(number);
  std::copy(file.begin(), file.end(), out.begin() + 2);
  return out;
}

Bytes IconLibrary(std::uint16_t shift) {
  NeBuilder ne(shift);
  ne.AddIconGroup(NeName::Text("APP"), {BuildIconImage(16, 16, 4, 1), BuildIconImage(32, 32, 8, 2)}, 1);
  ne.AddIconGroup(NeName::Text("DOC"), {BuildIconImage(32, 32, 1, 3)}, 3);
  return ne.Build().bytes;
}

Bytes Program16() {
  NeBuilder ne(9);
  ne.SetLibrary(false);
  ne.Add(NeName::Id(6), NeName::Id(1), Bytes(40, 'S'));
  ne.AddIconGroup(NeName::Id(5), {BuildIconImage(32, 32, 4, 4)}, 10);
  ne.AddIconGroup(NeName::Id(1), {BuildIconImage(16, 16, 24, 5)}, 11);
  return ne.Build().bytes;
}

Bytes Pe(bool pe32Plus) {
  PeOptions options;
  options.pe32Plus = pe32Plus;
  PeBuilder pe(options);
  pe.AddIcon(1, BuildIconImage(16, 16, 4, 6));
  pe.AddIcon(2, BuildIconImage(32, 32, 32, 7));
  pe.AddIcon(3, BuildPngImage(64, 64, 8));
  pe.AddIconGroup(ResourceName::FromText(u"APP"), {1, 2, 3});
  pe.AddIconGroup(ResourceName::FromId(7), {2});
  return pe.Build();
}

Bytes Ico() {
  IconSet set;
  for (Bytes image : {BuildIconImage(16, 16, 8, 9), BuildIconImage(48, 48, 32, 10), BuildPngImage(40, 40, 11)}) {
    IconFrame frame;
    frame.imageData = std::move(image);
    BindFrame(&frame);
    set.frames.push_back(std::move(frame));
  }
  MemorySink sink;
  WriteIcoFile(set, sink);
  return sink.bytes();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  bool ok = true;
  const Bytes icl = IconLibrary(4), icl0 = IconLibrary(0), program = Program16(), pe32 = Pe(false),
              pe64 = Pe(true), ico = Ico();
  ok &= Save(dir + "/module/fixture-icons.icl", icl);
  ok &= Save(dir + "/module/fixture-icons-shift0.icl", icl0);
  ok &= Save(dir + "/module/fixture-program16.exe", program);
  ok &= Save(dir + "/module/fixture-pe32.dll", pe32);
  ok &= Save(dir + "/module/fixture-pe32plus.dll", pe64);
  ok &= Save(dir + "/ico/fixture-png.ico", ico);
  ok &= Save(dir + "/extract/fixture-icons-icl", ForExtract(3, 2, icl));
  ok &= Save(dir + "/extract/fixture-program16-exe-bmp", ForExtract(1 | 1 << 3, 1, program));
  ok &= Save(dir + "/extract/fixture-pe32-dll", ForExtract(2, 1, pe32));
  ok &= Save(dir + "/extract/fixture-pe32plus-exe-clipboard", ForExtract(1 | 1 << 5, 2, pe64));
  ok &= Save(dir + "/extract/fixture-png-ico", ForExtract(0, 1, ico));
  ok &= Save(dir + "/extract/fixture-png-ico-bmp", ForExtract(0 | 1 << 3, 0, ico));
  return ok ? 0 : 1;
}
