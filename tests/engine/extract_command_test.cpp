// ExtractFileIcon end to end: arguments and their defaults, the suffix rules,
// the count and range check, every output, the failures, and the working
// state it leaves behind. Real modules are Wine's; ICO files are made here.
#include "extract_command.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bitmap_output.h"
#include "ico_reader.h"
#include "ico_writer.h"
#include "module_file.h"
#include "module_reader.h"
#include "support/image_builder.h"
#include "support/pe_builder.h"
#include "support/test_paths.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace brimlet {
namespace {

using test::Bytes;
using test::FileExists;
using test::FreshTempDir;
using test::MakeDibFrame;
using test::MakeFrame;
using test::MakeSet;

constexpr std::int32_t kUser32Groups = 7;  // wrestool -l -t14 lists 7
constexpr std::int32_t kShell32Groups = 184;

std::string User32() { return test::Wine32Module("user32.dll"); }
std::string Shell32() { return test::Wine32Module("shell32.dll"); }

// Every group of a module, read through the module reader directly.
std::vector<std::pair<ResourceName, IconSet>> GroupsOf(const std::string& path) {
  std::vector<std::pair<ResourceName, IconSet>> groups;
  const std::optional<Module> module = Module::Open(path);
  if (!module) return groups;
  std::vector<ResourceName> names;
  module->EnumNames(kResourceTypeGroupIcon, [&](const ResourceName& name) {
    names.push_back(name);
    return true;
  });
  for (const ResourceName& name : names) {
    std::optional<IconSet> set = LoadModuleIconGroup(*module, path, name);
    if (set) groups.emplace_back(name, std::move(*set));
  }
  return groups;
}

// An image as the ICO writer stores it: biSizeImage cleared in bitmap images.
Bytes AsWritten(const IconFrame& frame) {
  Bytes bytes = frame.imageData;
  if (!frame.isPng() && bytes.size() >= 24) test::PutU32(bytes, DibHeader::kSizeImageOffset, 0);
  return bytes;
}

// The ICO file at path holds exactly the images of set, in its order.
void ExpectIcoHolds(const std::string& path, const IconSet& set) {
  const std::optional<IconSet> written = LoadIcoFile(path);
  ASSERT_TRUE(written.has_value()) << path;
  ASSERT_EQ(written->imageCount(), set.imageCount()) << path;
  for (std::size_t i = 0; i < set.frames.size(); ++i) {
    EXPECT_EQ(written->frames[i].imageData, AsWritten(set.frames[i])) << path << " image " << i + 1;
  }
}

std::string FileContent(const std::string& path) { return test::ReadFileBytes(path); }

// An ICO file made by the writer from frames built here.
std::string WriteIcoSource(const std::string& path, const IconSet& set) {
  EXPECT_TRUE(SaveIcoFile(set, path));
  return path;
}

IconSet ThreeImageSet() {
  std::vector<IconFrame> frames;
  frames.push_back(MakeDibFrame({.width = 32, .height = 32, .bitCount = 4, .sizeImage = 640, .seed = 1}));
  frames.push_back(MakeDibFrame({.width = 16, .height = 16, .bitCount = 8, .seed = 2}));
  frames.push_back(MakeFrame(test::BuildPngWithHeader(256, 256, 8, 6)));
  return MakeSet(std::move(frames));
}

std::string BitmapOf(const IconFrame& frame) {
  MemorySink sink;
  EXPECT_TRUE(WriteFrameAsBitmap(frame, sink));
  return test::AsString(sink.bytes());
}

// The 40-byte header of an image, without its bitmaps.
Bytes HeaderOnly(const test::DibShape& shape) {
  Bytes image = test::BuildIconImage(shape);
  image.resize(40);
  return image;
}

void CopyFile(const std::string& from, const std::string& to) {
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

// On Windows the clipboard output is real; elsewhere it has no clipboard.
constexpr ExtractOutput kClipboardOutcome =
#ifdef _WIN32
    ExtractOutput::Written;
#else
    ExtractOutput::WriteFailed;
#endif

// --- a module's groups, one call per number ---

TEST(ExtractFromModule, WritesEachGroupAndNothingPastTheCount) {
  const std::string dir = FreshTempDir("extract_each_group");
  const auto groups = GroupsOf(User32());
  ASSERT_EQ(groups.size(), static_cast<std::size_t>(kUser32Groups));
  for (std::int32_t n = 1; n <= kUser32Groups + 2; ++n) {
    SCOPED_TRACE(n);
    const std::string out = dir + "/" + std::to_string(n) + ".ico";
    const ExtractReport report = ExtractFileIconReport(User32(), 0, out, n);
    if (n <= kUser32Groups) {
      EXPECT_EQ(report.groupCount, kUser32Groups);
      EXPECT_EQ(report.output, ExtractOutput::Written);
      ExpectIcoHolds(out, groups[static_cast<std::size_t>(n - 1)].second);
    } else {
      EXPECT_EQ(report.groupCount, 0);
      EXPECT_EQ(report.output, ExtractOutput::Nothing);
      EXPECT_FALSE(FileExists(out));
    }
  }
}

TEST(ExtractFromModule, TextNamedGroupsComeFirstInEnumerationOrder) {
  const std::string dir = FreshTempDir("extract_text_names_first");
  const auto groups = GroupsOf(Shell32());
  ASSERT_EQ(groups.size(), static_cast<std::size_t>(kShell32Groups));
  ASSERT_FALSE(groups[0].first.isId());
  EXPECT_EQ(groups[0].first.display(), "IDI_SHELL_OPTIONS");
  ASSERT_TRUE(groups[2].first.isId());
  EXPECT_EQ(groups[2].first.id(), 1);
  for (std::int32_t n : {1, 2, 3, kShell32Groups}) {
    const std::string out = dir + "/" + std::to_string(n) + ".ico";
    EXPECT_EQ(ExtractFileIcon(Shell32(), 0, out, n), kShell32Groups);
    ExpectIcoHolds(out, groups[static_cast<std::size_t>(n - 1)].second);
  }
}

TEST(ExtractFromModule, PePlus64BitModule) {
  const std::string module = test::Wine64Module("user32.dll");
  const std::string out = FreshTempDir("extract_pe_plus") + "/1.ico";
  const auto groups = GroupsOf(module);
  ASSERT_FALSE(groups.empty());
  EXPECT_EQ(ExtractFileIcon(module, 0, out, 1), static_cast<std::int32_t>(groups.size()));
  ExpectIcoHolds(out, groups[0].second);
}

// --- fixture modules made here ---

// Puts a module built by test code on disk, named as given.
std::string WriteModule(const std::string& dir, const std::string& name, const test::PeBuilder& pe) {
  const std::vector<std::uint8_t> bytes = pe.Build();
  const std::string path = dir + "/" + name;
  EXPECT_TRUE(test::WriteFileBytes(path, bytes.data(), bytes.size()));
  return path;
}

// Groups named, in directory order, APP, 1 and 5 (text names first), of one,
// two and three images; the first image of each is a bitmap.
test::PeBuilder ThreeGroupModule(test::PeOptions options = {}) {
  test::PeBuilder pe(options);
  pe.AddIcon(1, test::BuildIconImage(16, 16, 4, 1));
  pe.AddIcon(2, test::BuildIconImage(32, 32, 8, 2));
  pe.AddIcon(3, test::BuildIconImage(48, 48, 32, 3));
  pe.AddIcon(4, test::BuildPngImage(64, 64, 4));
  pe.AddIcon(5, test::BuildIconImage(24, 24, 1, 5));
  pe.AddIcon(6, test::BuildIconImage(16, 16, 24, 6));
  pe.AddIconGroup(ResourceName::FromId(5), {5, 4, 6});
  pe.AddIconGroup(ResourceName::FromText(u"APP"), {1});
  pe.AddIconGroup(ResourceName::FromId(1), {2, 3});
  return pe;
}

TEST(ExtractFromFixture, ThreeGroupsNumberedOneToFive) {
  const std::string dir = FreshTempDir("extract_fixture_three");
  const std::string module = WriteModule(dir, "three.dll", ThreeGroupModule());
  const auto groups = GroupsOf(module);
  ASSERT_EQ(groups.size(), 3u);
  EXPECT_EQ(groups[0].first, ResourceName::FromText(u"APP"));
  EXPECT_EQ(groups[1].first, ResourceName::FromId(1));
  EXPECT_EQ(groups[2].first, ResourceName::FromId(5));
  const std::size_t imageCounts[] = {1, 2, 3};
  for (std::int32_t n = 1; n <= 5; ++n) {
    SCOPED_TRACE(n);
    const std::string out = dir + "/" + std::to_string(n) + ".ico";
    const std::int32_t count = ExtractFileIcon(module, 0, out, n);
    if (n <= 3) {
      EXPECT_EQ(count, 3);
      const auto& group = groups[static_cast<std::size_t>(n - 1)].second;
      EXPECT_EQ(group.frames.size(), imageCounts[n - 1]);
      ExpectIcoHolds(out, group);
    } else {
      EXPECT_EQ(count, 0);
      EXPECT_FALSE(FileExists(out));
    }
  }
}

TEST(ExtractFromFixture, PePlusModuleAndBitmapOutput) {
  const std::string dir = FreshTempDir("extract_fixture_bitmap");
  const std::string module = WriteModule(dir, "three64.exe", ThreeGroupModule({.pe32Plus = true}));
  const auto groups = GroupsOf(module);
  ASSERT_EQ(groups.size(), 3u);
  for (std::int32_t n = 1; n <= 3; ++n) {
    SCOPED_TRACE(n);
    const std::string out = dir + "/" + std::to_string(n) + ".bmp";
    const ExtractReport report = ExtractFileIconReport(module, 0, out, n);
    EXPECT_EQ(report.groupCount, 3);
    EXPECT_EQ(report.output, ExtractOutput::Written);
    EXPECT_TRUE(FileContent(out) == BitmapOf(groups[static_cast<std::size_t>(n - 1)].second.frames[0]));
  }
}

TEST(ExtractFromFixture, GroupsThatCannotBeReadOrHoldNoImage) {
  const std::string dir = FreshTempDir("extract_fixture_damaged");
  test::PeBuilder pe;
  pe.AddIcon(1, test::BuildIconImage(16, 16, 4, 1));
  pe.AddIconGroup(ResourceName::FromId(1), {1, 9});  // image 9 is missing
  pe.AddResource(kResourceTypeGroupIcon, ResourceName::FromId(2), 0, test::BuildGroupDirectory({}));
  pe.AddResource(kResourceTypeGroupIcon, ResourceName::FromId(3), 0,
                 test::BuildGroupDirectory({test::GroupEntryFor(1, test::BuildIconImage(16, 16, 4, 1))}, 40));
  const std::string module = WriteModule(dir, "damaged.icl", pe);
  const struct {
    const char* name;
    std::int32_t number;
    std::optional<std::string> out;  // none: the clipboard
    ExtractOutput output;
    std::optional<std::string> content;  // what the file holds, when written
  } rows[] = {
      {"missing image, ico", 1, dir + "/1.ico", ExtractOutput::Nothing, std::nullopt},
      {"missing image, bmp", 1, dir + "/1.bmp", ExtractOutput::Nothing, std::nullopt},
      {"missing image, clipboard", 1, std::nullopt, ExtractOutput::Nothing, std::nullopt},
      {"no image, ico", 2, dir + "/2.ico", ExtractOutput::Written, std::string("\0\0\1\0\0\0", 6)},
      {"no image, bmp", 2, dir + "/2.bmp", ExtractOutput::Nothing, std::nullopt},
      {"no image, clipboard", 2, std::nullopt, ExtractOutput::Nothing, std::nullopt},
      {"count past the directory, ico", 3, dir + "/3.ico", ExtractOutput::Nothing, std::nullopt},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const ExtractReport report = row.out ? ExtractFileIconReport(module, 0, *row.out, row.number)
                                         : ExtractFileIconReport(module, 1, {}, row.number);
    EXPECT_EQ(report.groupCount, 3);
    EXPECT_EQ(report.output, row.output);
    if (row.out) {
      EXPECT_EQ(FileExists(*row.out), row.content.has_value());
      if (row.content) {
        EXPECT_EQ(FileContent(*row.out), *row.content);
      }
    }
    EXPECT_FALSE(requestedGroupName.has_value());
  }
}

TEST(ExtractFromFixture, ModulesWithoutIconGroups) {
  const std::string dir = FreshTempDir("extract_fixture_no_groups");
  test::PeBuilder iconsOnly;
  iconsOnly.AddIcon(1, test::BuildIconImage(16, 16, 4));
  test::PeBuilder noResources({.resourceDirectory = false});
  std::vector<std::uint8_t> cut = ThreeGroupModule().Build();
  cut.resize(cut.size() / 2);
  const struct {
    const char* name;
    std::string path;
  } rows[] = {
      {"icons but no group", WriteModule(dir, "icons.dll", iconsOnly)},
      {"no resource directory", WriteModule(dir, "bare.exe", noResources)},
      {"cut in half", [&] {
         const std::string path = dir + "/cut.dll";
         EXPECT_TRUE(test::WriteFileBytes(path, cut.data(), cut.size()));
         return path;
       }()},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const ExtractReport report = ExtractFileIconReport(row.path, 0, dir + "/out.ico", 1);
    EXPECT_EQ(report.output, ExtractOutput::Nothing);
    if (std::string(row.name) != "cut in half") {
      EXPECT_EQ(report.groupCount, 0);
    }
    EXPECT_FALSE(requestedGroupName.has_value());
  }
}

TEST(ExtractFromFixture, GroupsPastTheWindowsRange) {
  const std::string dir = FreshTempDir("extract_fixture_many");
  constexpr std::int32_t kGroups = 1300;
  test::PeBuilder pe;
  pe.AddIcon(1, test::BuildIconImage(16, 16, 4));
  for (std::int32_t id = 1; id <= kGroups; ++id) pe.AddIconGroup(ResourceName::FromId(static_cast<std::uint16_t>(id)), {1});
  const std::string module = WriteModule(dir, "many.dll", pe);
  EXPECT_EQ(ExtractFileIcon(module, 0, dir + "/1300.ico", 1300), kGroups);
  EXPECT_TRUE(FileExists(dir + "/1300.ico"));
  EXPECT_EQ(ExtractFileIcon(module, 0, dir + "/1301.ico", 1301), 0);
  EXPECT_FALSE(FileExists(dir + "/1301.ico"));
}

// --- arguments ---

TEST(ExtractArguments, NumbersBelowOneAreNumberOne) {
  const std::string dir = FreshTempDir("extract_number_defaults");
  const std::string expected = dir + "/expected.ico";
  ASSERT_EQ(ExtractFileIcon(User32(), 0, expected, 1), kUser32Groups);
  const struct {
    const char* name;
    std::optional<std::int32_t> number;
  } rows[] = {{"zero", 0}, {"minus-one", -1}, {"int-min", INT_MIN}, {"omitted", std::nullopt}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string out = dir + "/" + row.name + ".ico";
    EXPECT_EQ(ExtractFileIcon(User32(), 0, out, row.number), kUser32Groups);
    EXPECT_EQ(FileContent(out), FileContent(expected));
  }
}

TEST(ExtractArguments, ModesOtherThanZeroCopyToTheClipboardAndIgnoreThePath) {
  const std::string dir = FreshTempDir("extract_mode_defaults");
  const struct {
    const char* name;
    std::optional<std::int32_t> mode;
  } rows[] = {{"one", 1}, {"two", 2}, {"minus-one", -1}, {"int-max", INT_MAX}, {"int-min", INT_MIN},
              {"omitted", std::nullopt}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string out = dir + "/" + row.name + ".ico";
    const ExtractReport report = ExtractFileIconReport(User32(), row.mode, out, 2);
    EXPECT_EQ(report.groupCount, kUser32Groups);
    EXPECT_FALSE(FileExists(out));
    // Wine's icons begin with a PNG image, which has no bitmap to give.
    EXPECT_EQ(report.output, ExtractOutput::Nothing);
  }
  // Only the source given: mode 1, number 1.
  EXPECT_EQ(ExtractFileIcon(User32()), kUser32Groups);
  EXPECT_EQ(requestedIconNumber, 1);
}

TEST(ExtractArguments, ModeZeroWithAnEmptyPathLooksAtNothing) {
  const struct {
    const char* name;
    std::string source;
    std::optional<std::string_view> path;
  } rows[] = {
      {"good source, empty path", User32(), ""},
      {"good source, path omitted", User32(), std::nullopt},
      {"missing source", test::NativePath("/nonexistent/none.exe"), ""},
      {"path of only a zero byte", User32(), std::string_view("\0x.ico", 6)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    requestedIconNumber = 77;
    const ExtractReport report = ExtractFileIconReport(row.source, 0, row.path, 1);
    EXPECT_EQ(report.groupCount, 0);
    EXPECT_EQ(report.output, ExtractOutput::Nothing);
    EXPECT_EQ(requestedIconNumber, 77) << "the source was looked at";
  }
}

TEST(ExtractArguments, ATextEndsAtItsFirstZeroByte) {
  const std::string dir = FreshTempDir("extract_zero_byte");
  const std::string source = User32() + std::string("\0.txt", 5);
  const std::string out = dir + "/1.ico";
  const std::string outWithTail = out + std::string("\0.png", 5);
  EXPECT_EQ(ExtractFileIcon(source, 0, outWithTail, 1), kUser32Groups);
  EXPECT_TRUE(FileExists(out));
}

// --- suffix rules ---

TEST(ExtractSuffixes, SourceKindIsTheLastThreeCharactersInAnyCase) {
  const std::string dir = FreshTempDir("extract_source_suffix");
  const std::string ico = WriteIcoSource(dir + "/icon.ico", ThreeImageSet());
  const struct {
    const char* name;  // the file name the source is copied to
    bool fromIco;      // copied from the ICO file, else from user32.dll
    std::int32_t count;
  } rows[] = {
      {"mod.exe", false, kUser32Groups}, {"mod.EXE", false, kUser32Groups}, {"mod.Dll", false, kUser32Groups},
      {"mod.icl", false, kUser32Groups}, {"mod.iCL", false, kUser32Groups}, {"moddll", false, kUser32Groups},
      {"mod.exe ", false, 0},            {"mod.ocx", false, 0},             {"mod.cpl", false, 0},
      {"mod.ex", false, 0},              {"icon.ICO", true, 1},             {"iconico", true, 1},
      {"icon.Ico", true, 1},             {"icon.icon", true, 0},
  };
  int index = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    // A distinct name per row: Windows' file names ignore case.
    const std::string source = dir + "/" + std::to_string(++index) + row.name;
    CopyFile(row.fromIco ? ico : User32(), source);
    const std::string out = dir + "/out-" + std::to_string(row.count) + ".ico";
    std::remove(out.c_str());
    EXPECT_EQ(ExtractFileIcon(source, 0, out, 1), row.count);
    EXPECT_EQ(FileExists(out), row.count != 0);
  }
}

TEST(ExtractSuffixes, PathsShorterThanThreeCharactersAreTheirOwnSuffix) {
  const std::string out = FreshTempDir("extract_short_paths") + "/1.ico";
  for (const char* source : {"", "o", "co", "xe", "ll"}) {
    SCOPED_TRACE(source);
    EXPECT_EQ(ExtractFileIcon(source, 0, out, 1), 0);
  }
  // "ico" itself is an ICO source, one group that cannot be read here.
  const ExtractReport report = ExtractFileIconReport("ico", 0, out, 1);
  EXPECT_EQ(report.groupCount, 1);
  EXPECT_EQ(report.output, ExtractOutput::Nothing);
  EXPECT_FALSE(FileExists(out));
}

TEST(ExtractSuffixes, OutputFormatIsTheLastThreeCharactersInAnyCase) {
  const std::string dir = FreshTempDir("extract_output_suffix");
  const IconSet set = ThreeImageSet();
  const std::string source = WriteIcoSource(dir + "/source.ico", set);
  // The source's first image as it was written to the ICO file and read back.
  const std::string bitmap = BitmapOf(MakeFrame(AsWritten(set.frames[0])));
  const struct {
    const char* name;
    ExtractOutput output;
    bool isBitmap;
  } rows[] = {
      {"a.ico", ExtractOutput::Written, false}, {"b.ICO", ExtractOutput::Written, false},
      {"cico", ExtractOutput::Written, false},  {"d.bmp", ExtractOutput::Written, true},
      {"e.Bmp", ExtractOutput::Written, true},  {"f.png", ExtractOutput::Nothing, false},
      {"g.icon", ExtractOutput::Nothing, false}, {"h.bm", ExtractOutput::Nothing, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string out = dir + "/" + row.name;
    const ExtractReport report = ExtractFileIconReport(source, 0, out, 1);
    EXPECT_EQ(report.groupCount, 1);
    EXPECT_EQ(report.output, row.output);
    if (row.output == ExtractOutput::Nothing) {
      EXPECT_FALSE(FileExists(out));
    } else if (row.isBitmap) {
      EXPECT_TRUE(FileContent(out) == bitmap);
    } else {
      ExpectIcoHolds(out, set);
    }
  }
}

// --- ICO sources ---

TEST(ExtractFromIco, OneGroupWrittenAgainWithTheSameImages) {
  const std::string dir = FreshTempDir("extract_ico_source");
  const IconSet set = ThreeImageSet();
  const std::string source = WriteIcoSource(dir + "/source.ico", set);
  EXPECT_EQ(ExtractFileIcon(source, 0, dir + "/1.ico", 1), 1);
  ExpectIcoHolds(dir + "/1.ico", set);
  // A module's group written back from its ICO file keeps its images too.
  const auto groups = GroupsOf(User32());
  ASSERT_FALSE(groups.empty());
  ASSERT_EQ(ExtractFileIcon(User32(), 0, dir + "/user32-1.ico", 1), kUser32Groups);
  EXPECT_EQ(ExtractFileIcon(dir + "/user32-1.ico", 0, dir + "/again.ico", 1), 1);
  ExpectIcoHolds(dir + "/again.ico", groups[0].second);
}

TEST(ExtractFromIco, FailureTable) {
  const std::string dir = FreshTempDir("extract_ico_failures");
  const std::string good = WriteIcoSource(dir + "/good.ico", ThreeImageSet());
  ASSERT_TRUE(test::WriteFileBytes(dir + "/damaged.ico", std::string("\0\0\1\0\1\0", 6)));
  const struct {
    const char* name;
    std::string source;
    std::int32_t number;
    std::int32_t count;
  } rows[] = {
      {"missing, number 1", dir + "/missing.ico", 1, 1},
      {"missing, number 2", dir + "/missing.ico", 2, 0},
      {"damaged, number 1", dir + "/damaged.ico", 1, 1},
      {"good, number 2", good, 2, 0},
      {"good, number 1201", good, 1201, 0},
      {"a folder", dir, 1, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string out = dir + "/out.ico";
    const ExtractReport report = ExtractFileIconReport(row.source, 0, out, row.number);
    EXPECT_EQ(report.groupCount, row.count);
    EXPECT_EQ(report.output, ExtractOutput::Nothing);
    EXPECT_FALSE(FileExists(out));
  }
}

TEST(ExtractFromIco, EmptySetWritesAnEmptyIcoButNoBitmapOrClipboard) {
  const std::string dir = FreshTempDir("extract_empty_set");
  const std::string source = WriteIcoSource(dir + "/empty.ico", IconSet{});
  EXPECT_EQ(ExtractFileIconReport(source, 0, dir + "/out.ico", 1).output, ExtractOutput::Written);
  EXPECT_EQ(FileContent(dir + "/out.ico"), std::string("\0\0\1\0\0\0", 6));
  const ExtractReport bitmap = ExtractFileIconReport(source, 0, dir + "/out.bmp", 1);
  EXPECT_EQ(bitmap.groupCount, 1);
  EXPECT_EQ(bitmap.output, ExtractOutput::Nothing);
  EXPECT_FALSE(FileExists(dir + "/out.bmp"));
  const ExtractReport clipboard = ExtractFileIconReport(source, 1, {}, 1);
  EXPECT_EQ(clipboard.groupCount, 1);
  EXPECT_EQ(clipboard.output, ExtractOutput::Nothing);
}

TEST(ExtractFromIco, FirstImageWithoutABitmapWritesNoBmp) {
  const std::string dir = FreshTempDir("extract_no_bitmap");
  const struct {
    const char* name;
    IconFrame first;
  } rows[] = {
      {"png", MakeFrame(test::BuildPngWithHeader(48, 48, 8, 6))},
      {"header only", MakeFrame(HeaderOnly({.width = 32, .height = 32}))},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<IconFrame> frames;
    frames.push_back(row.first);
    frames.push_back(MakeDibFrame({}));
    const std::string source = WriteIcoSource(dir + "/" + row.name + ".ico", MakeSet(std::move(frames)));
    const std::string out = dir + "/" + row.name + ".bmp";
    const ExtractReport report = ExtractFileIconReport(source, 0, out, 1);
    EXPECT_EQ(report.groupCount, 1);
    EXPECT_EQ(report.output, ExtractOutput::Nothing);
    EXPECT_FALSE(FileExists(out));
  }
}

// --- failures of the source and of the output ---

TEST(ExtractFailures, SourcesThatGiveNoGroups) {
  const std::string dir = FreshTempDir("extract_bad_sources");
  ASSERT_TRUE(test::WriteFileBytes(dir + "/text.exe", "This is not a module.\n"));
  ASSERT_TRUE(test::WriteFileBytes(dir + "/empty.dll", ""));
  std::filesystem::create_directories(dir + "/folder.exe");
  const struct {
    const char* name;
    std::string source;
  } rows[] = {
      {"text file named exe", dir + "/text.exe"},
      {"empty file named dll", dir + "/empty.dll"},
      {"folder named exe", dir + "/folder.exe"},
      {"missing module", dir + "/missing.exe"},
      {"module without icon groups", test::Wine32Module("kernel32.dll")},
      {"unknown suffix", dir + "/text.txt"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    requestedGroupName = ResourceName::FromText(u"LEFT OVER");
    iconGroupCount = 99;
    const ExtractReport report = ExtractFileIconReport(row.source, 0, dir + "/out.ico", 1);
    EXPECT_EQ(report.groupCount, 0);
    EXPECT_EQ(report.output, ExtractOutput::Nothing);
    EXPECT_FALSE(FileExists(dir + "/out.ico"));
    EXPECT_EQ(iconGroupCount, 0);
    EXPECT_FALSE(requestedGroupName.has_value());
  }
}

TEST(ExtractFailures, OutputsThatCannotBeWrittenStillGiveTheCount) {
  const std::string dir = FreshTempDir("extract_write_failures");
  const std::string source = WriteIcoSource(dir + "/source.ico", ThreeImageSet());
  std::filesystem::create_directories(dir + "/taken.ico");
  std::filesystem::create_directories(dir + "/taken.bmp");
  const struct {
    const char* name;
    std::string source;
    std::string out;
    std::int32_t count;
  } rows[] = {
      {"ico into a missing folder", User32(), dir + "/missing/1.ico", kUser32Groups},
      {"ico over a folder", User32(), dir + "/taken.ico", kUser32Groups},
      {"bmp into a missing folder", source, dir + "/missing/1.bmp", 1},
      {"bmp over a folder", source, dir + "/taken.bmp", 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const ExtractReport report = ExtractFileIconReport(row.source, 0, row.out, 1);
    EXPECT_EQ(report.groupCount, row.count);
    EXPECT_EQ(report.output, ExtractOutput::WriteFailed);
  }
  EXPECT_FALSE(FileExists(dir + "/missing"));
}

// --- working state ---

TEST(ExtractWorkingState, EachCallDependsOnlyOnItsOwnArguments) {
  const std::string dir = FreshTempDir("extract_working_state");
  EXPECT_EQ(ExtractFileIcon(Shell32(), 0, dir + "/a.ico", 1), kShell32Groups);  // a text-named group
  EXPECT_EQ(requestedIconNumber, 1);
  EXPECT_EQ(iconGroupCount, kShell32Groups);
  EXPECT_FALSE(requestedGroupName.has_value()) << "the name's copy is released before the call returns";

  EXPECT_EQ(ExtractFileIcon(dir + "/missing.exe", 0, dir + "/b.ico", 5), 0);
  EXPECT_EQ(requestedIconNumber, 5);
  EXPECT_EQ(iconGroupCount, 0);

  EXPECT_EQ(ExtractFileIcon(User32(), 0, dir + "/c.ico", 3), kUser32Groups);
  const auto groups = GroupsOf(User32());
  ExpectIcoHolds(dir + "/c.ico", groups[2].second);

  // Number 8 of user32 after number 8 of shell32: user32 has only 7.
  EXPECT_EQ(ExtractFileIcon(Shell32(), 0, dir + "/d.ico", 8), kShell32Groups);
  EXPECT_EQ(ExtractFileIcon(User32(), 0, dir + "/e.ico", 8), 0);
  EXPECT_FALSE(FileExists(dir + "/e.ico"));
}

// --- the window's loop ---

// As the Extract command runs it: 1201 separate calls, mode 0, n.ico.
TEST(ExtractWindowLoop, Shell32In1201Calls) {
  const std::string dir = FreshTempDir("extract_window_loop");
  const auto start = std::chrono::steady_clock::now();
  std::int32_t written = 0;
  for (std::int32_t n = 1; n <= 1201; ++n) {
    const ExtractReport report = ExtractFileIconReport(Shell32(), 0, dir + "/" + std::to_string(n) + ".ico", n);
    if (report.output == ExtractOutput::Written) ++written;
    EXPECT_EQ(report.groupCount, n <= kShell32Groups ? kShell32Groups : 0) << n;
  }
  const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(written, kShell32Groups);
  EXPECT_TRUE(FileExists(dir + "/184.ico"));
  EXPECT_FALSE(FileExists(dir + "/185.ico"));
  std::printf("1201 calls over shell32.dll: %.1f ms\n", elapsed.count());
}

// --- the clipboard ---

#ifdef _WIN32
std::optional<Bytes> ClipboardDib() {
  if (!OpenClipboard(nullptr)) return std::nullopt;
  std::optional<Bytes> bytes;
  if (HANDLE data = GetClipboardData(CF_DIB)) {
    const auto* p = static_cast<const std::uint8_t*>(GlobalLock(data));
    if (p != nullptr) bytes = Bytes(p, p + GlobalSize(data));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return bytes;
}
#endif

TEST(ExtractToClipboard, FirstImageOfAModuleGroup) {
  const std::string dir = FreshTempDir("extract_clipboard_module");
  const std::string module = WriteModule(dir, "three.exe", ThreeGroupModule());
  const auto groups = GroupsOf(module);
  ASSERT_EQ(groups.size(), 3u);
  const ExtractReport report = ExtractFileIconReport(module, std::nullopt, std::nullopt, 2);
  EXPECT_EQ(report.groupCount, 3);
  EXPECT_EQ(report.output, kClipboardOutcome);
#ifdef _WIN32
  const std::optional<Bytes> dib = ClipboardDib();
  ASSERT_TRUE(dib.has_value());
  Bytes expected = groups[1].second.frames[0].imageData;
  test::PutU32(expected, 8, 32);  // 32 x 32: biHeight 64 halved
  ASSERT_GE(dib->size(), expected.size());
  EXPECT_EQ(Bytes(dib->begin(), dib->begin() + static_cast<std::ptrdiff_t>(expected.size())), expected);
#endif
}

TEST(ExtractToClipboard, FirstImageWithItsHeightHalved) {
  const std::string dir = FreshTempDir("extract_clipboard");
  const IconSet set = ThreeImageSet();
  const std::string source = WriteIcoSource(dir + "/source.ico", set);
  const ExtractReport report = ExtractFileIconReport(source, 7, dir + "/ignored.ico", 1);
  EXPECT_EQ(report.groupCount, 1);
  EXPECT_EQ(report.output, kClipboardOutcome);
  EXPECT_FALSE(FileExists(dir + "/ignored.ico"));
#ifdef _WIN32
  const std::optional<Bytes> dib = ClipboardDib();
  ASSERT_TRUE(dib.has_value());
  Bytes expected = AsWritten(set.frames[0]);  // the frame as the ICO source holds it
  test::PutU32(expected, 8, 32);
  ASSERT_GE(dib->size(), expected.size());  // a global block may be rounded up
  EXPECT_EQ(Bytes(dib->begin(), dib->begin() + static_cast<std::ptrdiff_t>(expected.size())), expected);
#endif
}

// A first image too short to hold its height field (an empty one included)
// is not copied, but the clipboard has been emptied by then, as the copy
// always empties it before it looks at the image.
TEST(ExtractToClipboard, TooShortFirstImageLeavesTheClipboardEmpty) {
  const std::string dir = FreshTempDir("extract_clipboard_short");
  for (const std::size_t length : {std::size_t{0}, std::size_t{11}}) {
    SCOPED_TRACE(length);
    std::vector<IconFrame> frames;
    frames.push_back(MakeFrame(Bytes(length, 0x28)));
    const std::string source =
        WriteIcoSource(dir + "/short" + std::to_string(length) + ".ico", MakeSet(std::move(frames)));
#ifdef _WIN32
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL text = GlobalAlloc(GMEM_MOVEABLE, 4);
    ASSERT_NE(text, nullptr);
    if (void* p = GlobalLock(text)) {
      std::memcpy(p, "old", 4);
      GlobalUnlock(text);
    }
    EXPECT_NE(SetClipboardData(CF_TEXT, text), nullptr);
    CloseClipboard();
#endif
    const ExtractReport report = ExtractFileIconReport(source, 1, {}, 1);
    EXPECT_EQ(report.groupCount, 1);
    EXPECT_EQ(report.output, ExtractOutput::Nothing);
#ifdef _WIN32
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_EQ(CountClipboardFormats(), 0);
    CloseClipboard();
#endif
  }
}

}  // namespace
}  // namespace brimlet
