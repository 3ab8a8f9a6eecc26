// New Executable modules: icon libraries and 16-bit programs, built by the
// tests, read through the same Module interface as PE modules; damaged tables
// end in clean failures; real NE files (Wine's fonts) and wrestool agree.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/image_builder.h"
#include "extract_command.h"
#include "ico_reader.h"
#include "module_file.h"
#include "module_reader.h"
#include "support/ne_builder.h"
#include "support/test_paths.h"

namespace brimlet::test {
namespace {

std::vector<ResourceName> Names(const Module& module, std::uint16_t type, bool* found = nullptr) {
  std::vector<ResourceName> names;
  const bool ok = module.EnumNames(type, [&](const ResourceName& name) {
    names.push_back(name);
    return true;
  });
  if (found) *found = ok;
  return names;
}

void Put16(Bytes& bytes, std::size_t at, std::uint16_t value) { PutU16(bytes, at, value); }
std::uint16_t Get16(const Bytes& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes.at(at) | bytes.at(at + 1) << 8);
}

ResourceName Text(const std::string& text) { return ResourceName::FromText(std::u16string(text.begin(), text.end())); }

// An image as the module stores it: its bytes padded with zeros to the
// table's alignment unit.
Bytes Padded(Bytes image, std::uint16_t shift) {
  const std::size_t unit = std::size_t{1} << shift;
  image.resize((image.size() + unit - 1) / unit * unit, 0);
  return image;
}

Bytes Image(std::int32_t size, std::uint16_t bits, std::uint8_t seed) {
  DibShape shape;
  shape.width = size;
  shape.height = size;
  shape.bitCount = bits;
  shape.seed = seed;
  return BuildIconImage(shape);
}

// An icon library in the layout of the icon editors of the time: text-named
// groups, listed in the table out of alphabetical order.
struct IconLibrary {
  std::vector<std::string> groups = {"ZEBRA", "APP", "DOC_1"};
  std::vector<std::vector<Bytes>> images;
  std::uint16_t shift = 4;
  NeModule module;
};

IconLibrary BuildIconLibrary(std::uint16_t shift = 4) {
  IconLibrary library;
  library.shift = shift;
  NeBuilder builder(shift);
  std::uint16_t nextId = 1;
  std::uint8_t seed = 1;
  for (const std::string& group : library.groups) {
    std::vector<Bytes> images = {Image(16, 4, seed), Image(32, 4, static_cast<std::uint8_t>(seed + 1)),
                                 Image(32, 8, static_cast<std::uint8_t>(seed + 2))};
    seed = static_cast<std::uint8_t>(seed + 3);
    builder.AddIconGroup(NeName::Text(group), images, nextId);
    nextId = static_cast<std::uint16_t>(nextId + images.size());
    library.images.push_back(images);
  }
  library.module = builder.Build();
  return library;
}

// A 16-bit program with numbered groups, in table order 5, 1, 3, and other
// resources around them.
struct Program {
  std::vector<std::uint16_t> groups = {5, 1, 3};
  std::vector<std::vector<Bytes>> images;
  std::uint16_t shift = 9;
  NeModule module;
};

Program BuildProgram(std::uint16_t shift = 9) {
  Program program;
  program.shift = shift;
  NeBuilder builder(shift);
  builder.SetLibrary(false);
  builder.Add(NeName::Id(6), NeName::Id(1), Bytes(50, 'S'));  // a string table
  std::uint16_t nextId = 100;
  std::uint8_t seed = 40;
  for (std::uint16_t group : program.groups) {
    std::vector<Bytes> images = {Image(32, 1, seed), Image(32, 4, static_cast<std::uint8_t>(seed + 1))};
    seed = static_cast<std::uint8_t>(seed + 2);
    builder.AddIconGroup(NeName::Id(group), images, nextId);
    nextId = static_cast<std::uint16_t>(nextId + images.size());
    program.images.push_back(images);
  }
  builder.Add(NeName::Text("VERSION"), NeName::Id(1), Bytes(20, 'V'));  // a text-named type
  program.module = builder.Build();
  return program;
}

// The frames hold the images without the padding: the directory's byte count
// ends each one inside its last alignment unit.
void ExpectFrames(const IconSet& set, const std::vector<Bytes>& images) {
  ASSERT_EQ(set.frames.size(), images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    EXPECT_EQ(set.frames[i].imageData, images[i]) << "image " << i;
    EXPECT_EQ(set.frames[i].width, GetU32(images[i], 4));
  }
}

TEST(NeModule, IconLibraryListsTextNamedGroupsInTableOrder) {
  for (std::uint16_t shift : {std::uint16_t{0}, std::uint16_t{4}, std::uint16_t{9}}) {
    SCOPED_TRACE("shift " + std::to_string(shift));
    const IconLibrary library = BuildIconLibrary(shift);
    const auto module = Module::FromBytes(ByteSpan(library.module.bytes));
    ASSERT_TRUE(module);
    const auto names = Names(*module, kResourceTypeGroupIcon);
    ASSERT_EQ(names.size(), library.groups.size());
    for (std::size_t g = 0; g < names.size(); ++g) {
      EXPECT_EQ(names[g], Text(library.groups[g]));
      EXPECT_EQ(names[g].display(), library.groups[g]);
      const auto set = LoadModuleIconGroup(*module, "lib.icl", names[g]);
      ASSERT_TRUE(set);
      EXPECT_EQ(set->modulePath, "lib.icl");
      ExpectFrames(*set, library.images[g]);
    }
    EXPECT_EQ(Names(*module, kResourceTypeIcon).size(), 9u);
  }
}

TEST(NeModule, ProgramListsNumberedGroupsInTableOrder) {
  const Program program = BuildProgram();
  const auto module = Module::FromBytes(ByteSpan(program.module.bytes));
  ASSERT_TRUE(module);
  const auto names = Names(*module, kResourceTypeGroupIcon);
  ASSERT_EQ(names.size(), 3u);
  for (std::size_t g = 0; g < names.size(); ++g) {
    EXPECT_EQ(names[g], ResourceName::FromId(program.groups[g]));
    const auto set = LoadModuleIconGroup(*module, "old.exe", names[g]);
    ASSERT_TRUE(set);
    ExpectFrames(*set, program.images[g]);
  }
  // Other types are found by their integer ids; a text-named type never
  // matches an integer one.
  const auto strings = module->Find(ResourceName::FromId(1), 6);
  ASSERT_TRUE(strings);
  EXPECT_EQ(strings->size, 512u);
  EXPECT_EQ(strings->language, 0u);
  bool found = true;
  EXPECT_TRUE(Names(*module, 16, &found).empty());
  EXPECT_FALSE(found);
}

TEST(NeModule, CountPassNumbersGroupsAndFindsTextNamesAgain) {
  const IconLibrary library = BuildIconLibrary();
  const auto module = Module::FromBytes(ByteSpan(library.module.bytes));
  ASSERT_TRUE(module);
  for (std::int32_t n = 1; n <= 4; ++n) {
    requestedIconNumber = n;
    iconGroupCount = 0;
    requestedGroupName.reset();
    EXPECT_TRUE(module->EnumNames(kResourceTypeGroupIcon, CountIconGroup));
    EXPECT_EQ(iconGroupCount, 3);
    if (n <= 3) {
      ASSERT_TRUE(requestedGroupName);
      EXPECT_EQ(*requestedGroupName, Text(library.groups[static_cast<std::size_t>(n - 1)]));
      EXPECT_TRUE(LoadModuleIconGroup(*module, "", *requestedGroupName));
    } else {
      EXPECT_FALSE(requestedGroupName);
    }
  }
  requestedGroupName.reset();
  // Names are compared exactly as stored.
  EXPECT_FALSE(module->Find(Text("app"), kResourceTypeGroupIcon));
  EXPECT_FALSE(module->Find(Text("AP"), kResourceTypeGroupIcon));
  EXPECT_FALSE(module->Find(ResourceName::FromId(1), kResourceTypeGroupIcon));
  EXPECT_TRUE(module->Find(ResourceName::FromId(1), kResourceTypeIcon));
  EXPECT_FALSE(module->Find(ResourceName::FromId(10), kResourceTypeIcon));
}

TEST(NeModule, ImagesEndWhereTheDirectorySaysInsideTheirLastUnit) {
  const IconLibrary library = BuildIconLibrary();
  const std::size_t directoryOffset = std::size_t{Get16(library.module.bytes, library.module.layout.entries[3])} << 4;
  struct Row {
    std::uint32_t stated;
    std::size_t expectedSize;
  };
  const std::size_t real = library.images[0][0].size();  // 296, stored as 304
  const std::vector<Row> rows = {
      {static_cast<std::uint32_t>(real), real},
      {304, 304},
      {289, 289},       // the last unit holds 289 to 304
      {288, 304},       // more than the padding: the resource's length
      {305, 304},       // more than is stored
      {0xFFFFFFFF, 304},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.stated);
    Bytes bytes = library.module.bytes;
    PutU32(bytes, directoryOffset + 6 + 8, row.stated);
    const auto module = Module::FromBytes(ByteSpan(bytes));
    ASSERT_TRUE(module);
    const auto set = LoadModuleIconGroup(*module, "", Text("ZEBRA"));
    ASSERT_TRUE(set);
    Bytes expected = Padded(library.images[0][0], 4);
    expected.resize(row.expectedSize);
    EXPECT_EQ(set->frames[0].imageData, expected);
  }
}

TEST(NeModule, ModuleWithoutResourcesHasNoGroups) {
  const NeModule empty = NeBuilder().Build();
  const auto module = Module::FromBytes(ByteSpan(empty.bytes));
  ASSERT_TRUE(module);
  bool found = true;
  EXPECT_TRUE(Names(*module, kResourceTypeGroupIcon, &found).empty());
  EXPECT_FALSE(found);
  EXPECT_FALSE(module->Find(ResourceName::FromId(1), kResourceTypeIcon));
}

// What a damaged library gives: no module at all, or a module whose groups
// (by name, in table order) load or not.
enum class Outcome { NoModule, Groups };

struct Damage {
  const char* what;
  std::function<void(NeModule&)> apply;
  Outcome outcome;
  std::vector<std::string> listed = {};  // groups enumerated
  std::vector<bool> loads = {};          // which of them load
};


TEST(NeModule, DamagedTablesEndInCleanFailures) {
  const std::vector<std::string> all = {"ZEBRA", "APP", "DOC_1"};
  const std::vector<Damage> cases = {
      {"alignment shift 16", [](NeModule& m) { Put16(m.bytes, m.layout.resourceTable, 16); }, Outcome::NoModule},
      {"alignment shift 0xFFFF", [](NeModule& m) { Put16(m.bytes, m.layout.resourceTable, 0xFFFF); },
       Outcome::NoModule},
      {"alignment shift 15: every offset past the file",
       [](NeModule& m) { Put16(m.bytes, m.layout.resourceTable, 15); }, Outcome::Groups, all,
       {false, false, false}},
      {"type list without its terminating zero",
       [](NeModule& m) {
         Put16(m.bytes, m.layout.neHeader + 0x26, static_cast<std::uint16_t>(m.layout.typeListEnd - m.layout.neHeader));
       },
       Outcome::NoModule},
      {"file cut inside the type list", [](NeModule& m) { m.bytes.resize(m.layout.typeListEnd); }, Outcome::NoModule},
      {"type count past the table", [](NeModule& m) { Put16(m.bytes, m.layout.resourceTable + 4, 0xFFFF); },
       Outcome::NoModule},
      {"resource table offset past the file", [](NeModule& m) { Put16(m.bytes, m.layout.neHeader + 0x24, 0xFFF0); },
       Outcome::NoModule},
      {"resident names before the resource table, table past the file",
       [](NeModule& m) {
         Put16(m.bytes, m.layout.neHeader + 0x24, 0xFFF0);
         Put16(m.bytes, m.layout.neHeader + 0x26, 0x40);
       },
       Outcome::NoModule},
      {"e_lfanew past the file", [](NeModule& m) { PutU32(m.bytes, 0x3C, 0x7FFFFFF0); }, Outcome::NoModule},
      {"NE header cut short", [](NeModule& m) { m.bytes.resize(m.layout.neHeader + 0x20); }, Outcome::NoModule},
      {"wrong signature", [](NeModule& m) { m.bytes[m.layout.neHeader + 1] = 'X'; }, Outcome::NoModule},
      {"name length past the table", [](NeModule& m) { m.bytes[m.layout.names[1]] = 0xFF; }, Outcome::Groups,
       {"ZEBRA", "DOC_1"}, {true, true}},
      {"name offset past the table",
       [](NeModule& m) { Put16(m.bytes, m.layout.entries[3] + 6, 0x7FFF); }, Outcome::Groups, {"APP", "DOC_1"},
       {true, true}},
      {"group offset past the file", [](NeModule& m) { Put16(m.bytes, m.layout.entries[7], 0xFFFF); },
       Outcome::Groups, all, {true, false, true}},
      {"group length past the file", [](NeModule& m) { Put16(m.bytes, m.layout.entries[11], 0xFFFF); },
       Outcome::Groups, all, {true, true, false}},
      {"image length past the file", [](NeModule& m) { Put16(m.bytes, m.layout.entries[0] + 2, 0xFFFF); },
       Outcome::Groups, all, {false, true, true}},
      {"image id the module lacks", [](NeModule& m) { Put16(m.bytes, m.layout.entries[4] + 6, 0x8000 | 77); },
       Outcome::Groups, all, {true, false, true}},
      {"file cut inside the last image", [](NeModule& m) { m.bytes.resize(m.bytes.size() - 400); }, Outcome::Groups,
       all, {true, true, false}},
  };
  for (const Damage& damage : cases) {
    SCOPED_TRACE(damage.what);
    NeModule fixture = BuildIconLibrary().module;
    damage.apply(fixture);
    const auto module = Module::FromBytes(ByteSpan(fixture.bytes));
    if (damage.outcome == Outcome::NoModule) {
      EXPECT_FALSE(module);
      continue;
    }
    ASSERT_TRUE(module);
    const auto names = Names(*module, kResourceTypeGroupIcon);
    ASSERT_EQ(names.size(), damage.listed.size());
    for (std::size_t g = 0; g < names.size(); ++g) {
      EXPECT_EQ(names[g], Text(damage.listed[g]));
      EXPECT_EQ(LoadModuleIconGroup(*module, "", names[g]).has_value(), damage.loads[g]) << damage.listed[g];
    }
  }
}

// Every byte of the header and the table, set to each of a few values: never
// a crash, never a read outside the file (the sanitizer build checks).
TEST(NeModule, EveryFieldDamagedStaysInside) {
  const NeModule fixture = BuildIconLibrary().module;
  const std::size_t end = fixture.layout.residentNames + 8;
  for (std::size_t at = fixture.layout.neHeader; at < end; ++at) {
    for (std::uint8_t value : {std::uint8_t{0}, std::uint8_t{0x7F}, std::uint8_t{0x80}, std::uint8_t{0xFF}}) {
      Bytes bytes = fixture.bytes;
      bytes[at] = value;
      const auto module = Module::FromBytes(ByteSpan(bytes));
      if (!module) continue;
      for (const ResourceName& name : Names(*module, kResourceTypeGroupIcon)) {
        static_cast<void>(LoadModuleIconGroup(*module, "", name));
      }
    }
  }
}

// Files under the test's own folder, in the form the engine takes paths.
std::string WriteFixture(const std::string& dir, const std::string& name, const Bytes& bytes) {
  const std::string path = dir + "/" + name;
  EXPECT_TRUE(WriteFileBytes(path, bytes.data(), bytes.size()));
  return path;
}

TEST(NeModule, ExtractFileIconSavesLibraryAndProgramIcons) {
  const std::string dir = FreshTempDir("ne_extract");
  const IconLibrary library = BuildIconLibrary();
  const Program program = BuildProgram();
  struct Source {
    std::string file;
    const Bytes& bytes;
    const std::vector<std::vector<Bytes>>& images;
  };
  const std::vector<Source> sources = {
      {"icons.icl", library.module.bytes, library.images},
      {"ICONS2.ICL", library.module.bytes, library.images},
      {"old.exe", program.module.bytes, program.images},
      {"old.dll", program.module.bytes, program.images},
  };
  for (const Source& source : sources) {
    SCOPED_TRACE(source.file);
    const std::string path = WriteFixture(dir, source.file, source.bytes);
    for (std::int32_t n = 1; n <= 5; ++n) {
      const std::string out = dir + "/" + source.file + "." + std::to_string(n) + ".ico";
      const std::int32_t count = ExtractFileIcon(path, 0, out, n);
      if (n <= 3) {
        EXPECT_EQ(count, 3);
        const auto set = LoadIcoFile(out);
        ASSERT_TRUE(set) << out;
        const auto& images = source.images[static_cast<std::size_t>(n - 1)];
        ASSERT_EQ(set->frames.size(), images.size());
        for (std::size_t i = 0; i < images.size(); ++i) {
          Bytes expected = images[i];
          PutU32(expected, 20, 0);  // the ICO writer clears biSizeImage
          EXPECT_EQ(set->frames[i].imageData, expected);
        }
      } else {
        EXPECT_EQ(count, 0);
        EXPECT_FALSE(FileExists(out));
      }
    }
    // The first image as a BMP file too.
    const std::string bmp = dir + "/" + source.file + ".bmp";
    EXPECT_EQ(ExtractFileIcon(path, 0, bmp, 2), 3);
    EXPECT_TRUE(FileExists(bmp));
  }
}

#ifndef _WIN32
// Runs a command and gives what it printed; the tests below use the Linux
// tools as independent readers.
std::string RunCommand(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    pclose(pipe);
  }
  return output;
}

// wrestool's listing: one line per resource, "--type=T --name=N [... size=S]".
std::string OurListing(const Module& module, const std::vector<std::uint16_t>& types) {
  std::string listing;
  for (std::uint16_t type : types) {
    for (const ResourceName& name : Names(module, type)) {
      const auto location = module.Find(name, type);
      listing += std::to_string(type) + " " + (name.isId() ? std::to_string(name.id()) : name.display()) + " " +
                 std::to_string(location ? location->size : 0) + "\n";
    }
  }
  return listing;
}

std::string WrestoolListing(const std::string& path) {
  // "--type=14 --name='APP' [type=group_icon offset=0x... size=48]"
  return RunCommand("wrestool -l '" + path +
             "' | sed -E \"s/^--type=([0-9]+) --name='?([^' ]*)'? .*size=([0-9]+).*/\\1 \\2 \\3/\"");
}

TEST(NeModuleCrossCheck, WrestoolListsTheSameResources) {
  const std::string dir = FreshTempDir("ne_wrestool");
  const IconLibrary library = BuildIconLibrary();
  const Program program = BuildProgram();
  const std::vector<std::pair<std::string, Bytes>> files = {{"icons.icl", library.module.bytes},
                                                             {"old.exe", program.module.bytes}};
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    const std::string path = WriteFixture(dir, name, bytes);
    const auto module = Module::Open(path);
    ASSERT_TRUE(module);
    const std::string ours = OurListing(*module, {kResourceTypeIcon, kResourceTypeGroupIcon, 6});
    const std::string theirs = WrestoolListing(path);
    ASSERT_FALSE(theirs.empty());
    // wrestool lists by type in table order; compare type by type.
    for (const std::string type : {"3 ", "14 ", "6 "}) {
      if (type == "6 " && name == "icons.icl") continue;
      std::string a, b;
      for (const auto& [text, into] : {std::pair{&ours, &a}, std::pair{&theirs, &b}}) {
        std::size_t start = 0;
        while (start < text->size()) {
          const std::size_t end = text->find('\n', start);
          const std::string line = text->substr(start, end - start);
          if (line.rfind(type, 0) == 0) *into += line + "\n";
          start = end == std::string::npos ? text->size() : end + 1;
        }
      }
      EXPECT_EQ(a, b) << "type " << type;
      EXPECT_FALSE(a.empty());
    }
  }
}

TEST(NeModuleCrossCheck, WrestoolExtractsTheSameIcons) {
  const std::string dir = FreshTempDir("ne_wrestool_x");
  const IconLibrary library = BuildIconLibrary();
  const std::string path = WriteFixture(dir, "icons.icl", library.module.bytes);
  std::filesystem::create_directories(dir + "/theirs");
  RunCommand("wrestool -x -t14 -o '" + dir + "/theirs' '" + path + "' 2>&1");
  for (std::size_t g = 0; g < library.groups.size(); ++g) {
    SCOPED_TRACE(library.groups[g]);
    const std::string ours = dir + "/" + std::to_string(g + 1) + ".ico";
    EXPECT_EQ(ExtractFileIcon(path, 0, ours, static_cast<std::int32_t>(g + 1)), 3);
    const auto a = LoadIcoFile(ours);
    const auto b = LoadIcoFile(dir + "/theirs/icons.icl_14_" + library.groups[g] + ".ico");
    ASSERT_TRUE(a);
    ASSERT_TRUE(b);
    ASSERT_EQ(a->frames.size(), b->frames.size());
    for (std::size_t i = 0; i < a->frames.size(); ++i) {
      Bytes theirs = b->frames[i].imageData;
      if (theirs.size() >= 24) PutU32(theirs, 20, 0);  // ours clears biSizeImage
      EXPECT_EQ(a->frames[i].imageData, theirs) << "image " << i;
    }
  }
}

// Wine's fonts are real NE modules: resources of other types, and no icons.
TEST(NeModuleCrossCheck, WineFontsListLikeWrestool) {
  int checked = 0;
  for (const char* font : {"vgasys.fon", "sserife.fon", "coure.fon", "smalle.fon"}) {
    const std::string path = std::string("/usr/share/wine/fonts/") + font;
    if (!FileExists(path)) continue;
    SCOPED_TRACE(font);
    const auto module = Module::Open(path);
    ASSERT_TRUE(module);
    EXPECT_EQ(OurListing(*module, {7, 8}), WrestoolListing(path));
    bool found = true;
    EXPECT_TRUE(Names(*module, kResourceTypeGroupIcon, &found).empty());
    EXPECT_FALSE(found);
    EXPECT_EQ(ExtractFileIcon(path.substr(0, path.size() - 3) + "dll", 0, "unused.ico", 1), 0);
    ++checked;
  }
  if (checked == 0) GTEST_SKIP() << "Wine's fonts are not installed";
}

TEST(NeModuleCrossCheck, BrimletExtractSavesLibraryIcons) {
  const std::string dir = FreshTempDir("ne_brimlet_extract");
  const IconLibrary library = BuildIconLibrary();
  const std::string path = WriteFixture(dir, "icons.icl", library.module.bytes);
  const std::string tool = std::string(BRIMLET_BINARY_DIR) + "/tools/brimlet-extract";
  const std::string output = RunCommand("'" + tool + "' '" + path + "' '" + dir + "/out' 2>&1; echo status=$?");
  EXPECT_NE(output.find("status=0"), std::string::npos) << output;
  for (int n = 1; n <= 3; ++n) {
    const std::string ico = dir + "/out/" + std::to_string(n) + ".ico";
    EXPECT_NE(RunCommand("icotool -l '" + ico + "'"), "") << ico;
  }
  EXPECT_FALSE(FileExists(dir + "/out/4.ico"));
}
#endif

}  // namespace
}  // namespace brimlet::test
