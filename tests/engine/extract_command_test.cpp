// ExtractFileIcon end to end: arguments and their defaults, the suffix rules,
// the count and range check, every output, the failures, and the working
// state it leaves behind. Real modules are Wine's; ICO files are made here.
#include "extract_command.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bitmap_output.h"
#include "dib_fixtures.h"
#include "ico_reader.h"
#include "ico_writer.h"
#include "module_file.h"
#include "module_reader.h"
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
  module->EnumResourceNames(kResourceTypeGroupIcon, [&](const ResourceName& name) {
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
  if (!frame.isPng() && bytes.size() >= 24) test::Put32At(bytes, DibHeader::kSizeImageOffset, 0);
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
  frames.push_back(MakeFrame(test::MakePngImage(256, 256, 8, 6)));
  return MakeSet(std::move(frames));
}

std::string BitmapOf(const IconFrame& frame) {
  MemorySink sink;
  EXPECT_TRUE(WriteFrameAsBitmap(frame, sink));
  return test::AsString(sink.bytes());
}

// The 40-byte header of an image, without its bitmaps.
Bytes HeaderOnly(const test::DibSpec& spec) {
  Bytes image = test::MakeDibImage(spec);
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
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string source = dir + "/" + row.name;
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
      {"png", MakeFrame(test::MakePngImage(48, 48, 8, 6))},
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
  test::Put32At(expected, 8, 32);
  ASSERT_GE(dib->size(), expected.size());  // a global block may be rounded up
  EXPECT_EQ(Bytes(dib->begin(), dib->begin() + static_cast<std::ptrdiff_t>(expected.size())), expected);
#endif
}

}  // namespace
}  // namespace brimlet
