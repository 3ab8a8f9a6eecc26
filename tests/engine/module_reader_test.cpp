#include "module_reader.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/image_builder.h"
#include "support/pe_builder.h"
#include "support/test_paths.h"

namespace brimlet {
namespace {

using test::BuildGroupDirectory;
using test::BuildIconImage;
using test::GroupEntry;
using test::GroupEntryFor;
using test::PeBuilder;
using test::PeLayout;
using test::PeOptions;
using test::PutU16;
using test::PutU32;

ResourceName Id(std::uint16_t id) { return ResourceName::FromId(id); }
ResourceName Text(std::u16string text) { return ResourceName::FromText(std::move(text)); }

// The images of the example module, by icon id.
struct ExampleImages {
  std::vector<std::uint8_t> app16 = BuildIconImage(16, 16, 4, 1);
  std::vector<std::uint8_t> app32 = BuildIconImage(32, 32, 4, 2);
  std::vector<std::uint8_t> app48 = BuildIconImage(48, 48, 8, 3);
  std::vector<std::uint8_t> app32Rgba = BuildIconImage(32, 32, 32, 4);
  std::vector<std::uint8_t> mono = BuildIconImage(16, 16, 1, 5);
  std::vector<std::uint8_t> truecolor = BuildIconImage(24, 24, 24, 6);
};

// Group icons APP (icons 1-4), 1 (icons 11, 10) and 5 (icon 10), added in
// another order than the one the directory stores them in.
PeBuilder ExampleModule(PeOptions options = {}) {
  const ExampleImages images;
  PeBuilder pe(options);
  pe.AddIcon(1, images.app16).AddIcon(2, images.app32).AddIcon(3, images.app48).AddIcon(4, images.app32Rgba);
  pe.AddIcon(10, images.mono).AddIcon(11, images.truecolor);
  pe.AddIconGroup(Id(5), {10});
  pe.AddIconGroup(Text(u"APP"), {1, 2, 3, 4});
  pe.AddIconGroup(Id(1), {11, 10});
  return pe;
}

struct CountResult {
  bool enumerated = false;
  std::int32_t count = 0;
  std::optional<ResourceName> name;
};

// The count pass as the extraction command runs it.
CountResult CountPass(const Module& module, std::int32_t wanted) {
  requestedIconNumber = wanted;
  iconGroupCount = 0;
  requestedGroupName.reset();
  CountResult result;
  result.enumerated = module.EnumNames(kResourceTypeGroupIcon, CountIconGroup);
  result.count = iconGroupCount;
  result.name = requestedGroupName;
  requestedGroupName.reset();
  return result;
}

std::vector<ResourceName> GroupNames(const Module& module) {
  std::vector<ResourceName> names;
  module.EnumNames(kResourceTypeGroupIcon, [&](const ResourceName& name) {
    names.push_back(name);
    return true;
  });
  return names;
}

class ModuleReaderFormats : public ::testing::TestWithParam<bool> {
 protected:
  PeOptions Options() const {
    PeOptions options;
    options.pe32Plus = GetParam();
    return options;
  }
};

INSTANTIATE_TEST_SUITE_P(Pe, ModuleReaderFormats, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param) { return param.param ? "Pe32Plus" : "Pe32"; });

TEST_P(ModuleReaderFormats, CountPassNumbersGroupsTextNamesFirstThenIdsAscending) {
  const auto bytes = ExampleModule(Options()).Build();
  const auto module = Module::FromBytes(ByteSpan(bytes));
  ASSERT_TRUE(module);

  const std::vector<std::optional<ResourceName>> expected = {Text(u"APP"), Id(1), Id(5), std::nullopt};
  for (std::int32_t n = 1; n <= 4; ++n) {
    SCOPED_TRACE("group " + std::to_string(n));
    const CountResult result = CountPass(*module, n);
    EXPECT_TRUE(result.enumerated);
    EXPECT_EQ(result.count, 3);
    EXPECT_EQ(result.name, expected[static_cast<std::size_t>(n - 1)]);
  }
}

TEST_P(ModuleReaderFormats, TextNameIsFoundAgainAfterTheEnumeration) {
  const auto bytes = ExampleModule(Options()).Build();
  const auto module = Module::FromBytes(ByteSpan(bytes));
  ASSERT_TRUE(module);
  const CountResult result = CountPass(*module, 1);
  ASSERT_TRUE(result.name);
  ASSERT_FALSE(result.name->isId());
  const auto set = LoadModuleIconGroup(*module, "example.dll", *result.name);
  ASSERT_TRUE(set);
  EXPECT_EQ(set->imageCount(), 4u);
}

TEST_P(ModuleReaderFormats, GroupYieldsEveryImageInDirectoryOrderWithItsResourceBytes) {
  const ExampleImages images;
  const auto bytes = ExampleModule(Options()).Build();
  const auto module = Module::FromBytes(ByteSpan(bytes));
  ASSERT_TRUE(module);

  const auto set = LoadModuleIconGroup(*module, "C:\\x\\example.dll", Text(u"APP"));
  ASSERT_TRUE(set);
  EXPECT_EQ(set->modulePath, "C:\\x\\example.dll");
  EXPECT_EQ(set->fileName, "");
  ASSERT_EQ(set->imageCount(), 4u);
  struct Expected {
    const std::vector<std::uint8_t>* bytes;
    std::int32_t width, height, bitsPerPixel;
  };
  const Expected expected[] = {
      {&images.app16, 16, 16, 4}, {&images.app32, 32, 32, 4}, {&images.app48, 48, 48, 8}, {&images.app32Rgba, 32, 32, 32}};
  for (std::size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE("frame " + std::to_string(i));
    const IconFrame& frame = set->frames[i];
    EXPECT_EQ(frame.imageData, *expected[i].bytes);
    EXPECT_EQ(frame.imageSize(), expected[i].bytes->size());
    EXPECT_EQ(frame.width, expected[i].width);
    EXPECT_EQ(frame.height, expected[i].height);
    EXPECT_EQ(frame.bitsPerPixel, expected[i].bitsPerPixel);
  }
  // The frames are bound: a 16 x 16 4-bit image has its colour bits at 104
  // and its mask at 232.
  EXPECT_EQ(set->frames[0].colorBits, 104);
  EXPECT_EQ(set->frames[0].maskBits, 232);

  const auto second = LoadModuleIconGroup(*module, "m", Id(1));
  ASSERT_TRUE(second);
  ASSERT_EQ(second->imageCount(), 2u);
  EXPECT_EQ(second->frames[0].imageData, images.truecolor);
  EXPECT_EQ(second->frames[1].imageData, images.mono);
}

TEST_P(ModuleReaderFormats, FramesTakeResourceLengthAndImageHeadersOverDirectoryFields) {
  const auto image = BuildIconImage(32, 32, 8, 9);
  GroupEntry entry = GroupEntryFor(7, image);
  entry.width = 16;
  entry.height = 99;
  entry.bitCount = 1;
  entry.bytesInResource = 12;
  PeBuilder pe(Options());
  pe.AddIcon(7, image).AddResource(kResourceTypeGroupIcon, Id(1), 0, BuildGroupDirectory({entry}));
  const auto bytes = pe.Build();
  const auto module = Module::FromBytes(ByteSpan(bytes));
  ASSERT_TRUE(module);
  const auto set = LoadModuleIconGroup(*module, "m", Id(1));
  ASSERT_TRUE(set);
  ASSERT_EQ(set->imageCount(), 1u);
  EXPECT_EQ(set->frames[0].imageData, image);
  EXPECT_EQ(set->frames[0].width, 32);
  EXPECT_EQ(set->frames[0].height, 32);
  EXPECT_EQ(set->frames[0].bitsPerPixel, 8);
}

TEST_P(ModuleReaderFormats, MissingImageGivesNoSet) {
  PeBuilder pe(Options());
  pe.AddIcon(1, BuildIconImage(16, 16, 4)).AddIconGroup(Id(1), {1, 2});
  const auto bytes = pe.Build();
  const auto module = Module::FromBytes(ByteSpan(bytes));
  ASSERT_TRUE(module);
  EXPECT_FALSE(LoadModuleIconGroup(*module, "m", Id(1)));
}

TEST_P(ModuleReaderFormats, ZeroCountGroupGivesEmptySet) {
  PeBuilder pe(Options());
  pe.AddIconGroup(Id(3), {});
  const auto bytes = pe.Build();
  const auto module = Module::FromBytes(ByteSpan(bytes));
  ASSERT_TRUE(module);
  const auto set = LoadModuleIconGroup(*module, "m", Id(3));
  ASSERT_TRUE(set);
  EXPECT_EQ(set->imageCount(), 0u);
  EXPECT_EQ(set->modulePath, "m");
}

// A count that claims more entries than the group resource holds refuses the
// group; bytes after the counted entries are ignored.
TEST_P(ModuleReaderFormats, GroupCountIsCheckedAgainstTheResource) {
  const auto one = BuildIconImage(16, 16, 4, 1);
  const auto two = BuildIconImage(32, 32, 4, 2);
  const std::vector<GroupEntry> entries = {GroupEntryFor(1, one), GroupEntryFor(2, two)};
  PeBuilder pe(Options());
  pe.AddIcon(1, one).AddIcon(2, two);
  pe.AddResource(kResourceTypeGroupIcon, Id(1), 0, BuildGroupDirectory(entries, 3));
  pe.AddResource(kResourceTypeGroupIcon, Id(2), 0, BuildGroupDirectory(entries, 1));
  pe.AddResource(kResourceTypeGroupIcon, Id(3), 0, BuildGroupDirectory(entries, 0xFFFF));
  pe.AddResource(kResourceTypeGroupIcon, Id(4), 0, {0, 0, 1, 0, 1});  // cut inside the header
  const auto bytes = pe.Build();
  const auto module = Module::FromBytes(ByteSpan(bytes));
  ASSERT_TRUE(module);
  EXPECT_FALSE(LoadModuleIconGroup(*module, "m", Id(1)));
  const auto shorter = LoadModuleIconGroup(*module, "m", Id(2));
  ASSERT_TRUE(shorter);
  ASSERT_EQ(shorter->imageCount(), 1u);
  EXPECT_EQ(shorter->frames[0].imageData, one);
  EXPECT_FALSE(LoadModuleIconGroup(*module, "m", Id(3)));
  EXPECT_FALSE(LoadModuleIconGroup(*module, "m", Id(4)));
  EXPECT_EQ(CountPass(*module, 1).count, 4);
}

TEST_P(ModuleReaderFormats, GroupThatIsNotThereGivesNoSet) {
  const auto bytes = ExampleModule(Options()).Build();
  const auto module = Module::FromBytes(ByteSpan(bytes));
  ASSERT_TRUE(module);
  EXPECT_FALSE(LoadModuleIconGroup(*module, "m", Id(2)));
  EXPECT_FALSE(LoadModuleIconGroup(*module, "m", Text(u"app")));  // names are compared exactly
  EXPECT_FALSE(LoadModuleIconGroup(*module, "m", Text(u"APPS")));
  EXPECT_FALSE(LoadModuleIconGroup(*module, "m", Text(u"AP")));
}

TEST_P(ModuleReaderFormats, EnumerationWalksTheStoredOrder) {
  PeOptions options = Options();
  options.sortEntries = false;
  PeBuilder pe(options);
  pe.AddIcon(1, BuildIconImage(16, 16, 4));
  pe.AddIconGroup(Id(9), {1}).AddIconGroup(Id(2), {1}).AddIconGroup(Text(u"ZED"), {1}).AddIconGroup(Text(u"ABC"), {1});
  const auto bytes = pe.Build();
  const auto module = Module::FromBytes(ByteSpan(bytes));
  ASSERT_TRUE(module);
  EXPECT_EQ(GroupNames(*module), (std::vector<ResourceName>{Id(9), Id(2), Text(u"ZED"), Text(u"ABC")}));
  for (const ResourceName& name : GroupNames(*module)) EXPECT_TRUE(LoadModuleIconGroup(*module, "m", name));
}

TEST_P(ModuleReaderFormats, EnumerationStopsWhenTheCallbackSaysSo) {
  const auto bytes = ExampleModule(Options()).Build();
  const auto module = Module::FromBytes(ByteSpan(bytes));
  ASSERT_TRUE(module);
  int calls = 0;
  EXPECT_TRUE(module->EnumNames(kResourceTypeGroupIcon, [&](const ResourceName&) { return ++calls < 2; }));
  EXPECT_EQ(calls, 2);
  std::vector<ResourceName> icons;
  EXPECT_TRUE(module->EnumNames(kResourceTypeIcon, [&](const ResourceName& name) {
    icons.push_back(name);
    return true;
  }));
  EXPECT_EQ(icons, (std::vector<ResourceName>{Id(1), Id(2), Id(3), Id(4), Id(10), Id(11)}));
}

TEST_P(ModuleReaderFormats, ModuleWithoutGroupIconsHasNoGroups) {
  PeBuilder iconsOnly(Options());
  iconsOnly.AddIcon(1, BuildIconImage(16, 16, 4));
  PeOptions bareOptions = Options();
  bareOptions.resourceDirectory = false;
  PeBuilder bare(bareOptions);
  PeBuilder empty(Options());
  for (const PeBuilder* pe : {&iconsOnly, &bare, &empty}) {
    const auto bytes = pe->Build();
    const auto module = Module::FromBytes(ByteSpan(bytes));
    ASSERT_TRUE(module);
    const CountResult result = CountPass(*module, 1);
    EXPECT_FALSE(result.enumerated);
    EXPECT_EQ(result.count, 0);
    EXPECT_FALSE(result.name);
    EXPECT_FALSE(LoadModuleIconGroup(*module, "m", Id(1)));
  }
}

TEST(ModuleReader, CountPassKeepsItsOwnCopyOfTheName) {
  requestedIconNumber = 2;
  iconGroupCount = 0;
  requestedGroupName.reset();
  {
    const ResourceName first = Text(u"FIRST");
    const ResourceName second = Text(u"SECOND");
    EXPECT_TRUE(CountIconGroup(first));
    EXPECT_TRUE(CountIconGroup(second));
  }
  EXPECT_TRUE(CountIconGroup(Id(3)));
  EXPECT_EQ(iconGroupCount, 3);
  EXPECT_EQ(requestedGroupName, Text(u"SECOND"));
  requestedGroupName.reset();
}

// Language rule: preferred language, neutral, English (US), first stored.
struct LanguageCase {
  const char* label;
  std::vector<std::uint16_t> stored;  // in stored order
  std::optional<std::uint16_t> preferred;
  std::uint16_t expected;
};

class ModuleLanguages : public ::testing::TestWithParam<LanguageCase> {};

INSTANTIATE_TEST_SUITE_P(
    Rule, ModuleLanguages,
    ::testing::Values(LanguageCase{"EnglishOverGerman", {0x407, 0x409}, {}, 0x409},
                      LanguageCase{"NeutralOverEnglish", {0x407, 0x409, 0}, {}, 0},
                      LanguageCase{"FirstStoredWithoutNeutralOrEnglish", {0x40C, 0x407}, {}, 0x40C},
                      LanguageCase{"OnlyOne", {0x411}, {}, 0x411},
                      LanguageCase{"PreferredFirst", {0, 0x409, 0x407}, 0x407, 0x407},
                      LanguageCase{"PreferredMissingFallsBack", {0x40C, 0x409}, 0x407, 0x409},
                      LanguageCase{"PreferredMissingNeutral", {0x409, 0}, 0x411, 0}),
    [](const ::testing::TestParamInfo<LanguageCase>& param) { return std::string(param.param.label); });

TEST_P(ModuleLanguages, FindPicksByTheRule) {
  const LanguageCase& c = GetParam();
  PeOptions options;
  options.sortEntries = false;
  PeBuilder pe(options);
  for (const std::uint16_t language : c.stored) {
    pe.AddResource(kResourceTypeGroupIcon, Text(u"G"), language, std::vector<std::uint8_t>(6 + language % 7, 0));
  }
  const auto bytes = pe.Build();
  const auto module = Module::FromBytes(ByteSpan(bytes));
  ASSERT_TRUE(module);
  const auto found = module->Find(Text(u"G"), kResourceTypeGroupIcon, c.preferred);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->language, c.expected);
  EXPECT_EQ(found->size, 6u + c.expected % 7u);
}

TEST(ModuleReader, ImagesAreTakenInTheGroupsLanguageFirstThenByTheRule) {
  PeOptions options;
  options.sortEntries = false;
  PeBuilder pe(options);
  const auto german1 = BuildIconImage(16, 16, 4, 11);
  const auto english1 = BuildIconImage(16, 16, 4, 12);
  const auto neutral1 = BuildIconImage(16, 16, 4, 13);
  const auto french2 = BuildIconImage(32, 32, 4, 21);
  const auto english2 = BuildIconImage(32, 32, 4, 22);
  const auto japanese3 = BuildIconImage(48, 48, 8, 31);
  pe.AddIcon(1, english1, 0x409).AddIcon(1, german1, 0x407).AddIcon(1, neutral1, 0);
  pe.AddIcon(2, french2, 0x40C).AddIcon(2, english2, 0x409);
  pe.AddIcon(3, japanese3, 0x411);
  // The group itself only in German and French: German is not neutral or
  // English, so the French one, stored first, is taken ... unless stored in
  // English too.
  pe.AddIconGroup(Id(1), {1, 2, 3}, 0x40C).AddIconGroup(Id(1), {1, 2, 3}, 0x407);
  pe.AddIconGroup(Id(2), {1, 2, 3}, 0x407);
  const auto bytes = pe.Build();
  const auto module = Module::FromBytes(ByteSpan(bytes));
  ASSERT_TRUE(module);

  const auto french = LoadModuleIconGroup(*module, "m", Id(1));
  ASSERT_TRUE(french);
  ASSERT_EQ(french->imageCount(), 3u);
  EXPECT_EQ(french->frames[0].imageData, neutral1);  // no French image 1: neutral
  EXPECT_EQ(french->frames[1].imageData, french2);   // the group's own language
  EXPECT_EQ(french->frames[2].imageData, japanese3); // only one stored

  const auto german = LoadModuleIconGroup(*module, "m", Id(2));
  ASSERT_TRUE(german);
  ASSERT_EQ(german->imageCount(), 3u);
  EXPECT_EQ(german->frames[0].imageData, german1);  // the group's own language
  EXPECT_EQ(german->frames[1].imageData, english2); // no German, no neutral: English
  EXPECT_EQ(german->frames[2].imageData, japanese3);
}

TEST(ModuleReader, ResourceNameDisplay) {
  EXPECT_EQ(Id(5).display(), "#5");
  EXPECT_EQ(Id(65535).display(), "#65535");
  EXPECT_EQ(Text(u"APP").display(), "APP");
  EXPECT_EQ(Text(u"\u00e9\u4e2d").display(), "\xc3\xa9\xe4\xb8\xad");
  EXPECT_EQ(Text(u"\U0001F600").display(), "\xf0\x9f\x98\x80");
  EXPECT_EQ(Text(std::u16string(1, char16_t{0xD800}) + u"x").display(), "\xef\xbf\xbdx");
  EXPECT_EQ(Text(u"").display(), "");
}

TEST(ModuleReader, OpensModulesOnDiskAndReadsAGroupByItself) {
  const std::string dir = test::FreshTempDir("module_reader_open");
  const std::string path = dir + "/example.dll";
  const auto bytes = ExampleModule().Build();
  ASSERT_TRUE(test::WriteFileBytes(path, bytes.data(), bytes.size()));

  const auto module = Module::Open(path);
  ASSERT_TRUE(module);
  EXPECT_EQ(CountPass(*module, 1).count, 3);
  const auto set = LoadModuleIconGroup(path, Text(u"APP"));
  ASSERT_TRUE(set);
  EXPECT_EQ(set->modulePath, path);
  EXPECT_EQ(set->imageCount(), 4u);
  EXPECT_FALSE(LoadModuleIconGroup(path, std::nullopt));

  EXPECT_FALSE(Module::Open(dir + "/missing.dll"));
  EXPECT_FALSE(LoadModuleIconGroup(dir + "/missing.dll", Id(1)));
  EXPECT_FALSE(Module::Open(dir));  // a folder
  ASSERT_TRUE(test::WriteFileBytes(dir + "/empty.dll", std::string()));
  EXPECT_FALSE(Module::Open(dir + "/empty.dll"));
  ASSERT_TRUE(test::WriteFileBytes(dir + "/text.exe", std::string("MZ is not enough")));
  EXPECT_FALSE(Module::Open(dir + "/text.exe"));
}

// Wine's shell32.dll holds 184 icon groups in both of its builds (as wrestool
// lists them); every one of them reads.
TEST(ModuleReader, ReadsEveryGroupOfWinesShell32) {
  for (const std::string& path : {test::Wine32Module("shell32.dll"), test::Wine64Module("shell32.dll")}) {
    SCOPED_TRACE(path);
    const auto module = Module::Open(path);
    ASSERT_TRUE(module);
    const auto names = GroupNames(*module);
    EXPECT_EQ(names.size(), 184u);
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.front(), Text(u"IDI_SHELL_OPTIONS"));
    for (const ResourceName& name : names) {
      const auto set = LoadModuleIconGroup(*module, path, name);
      ASSERT_TRUE(set) << name.display();
      EXPECT_GT(set->imageCount(), 0u) << name.display();
    }
  }
}

// One table over the damage a module may carry. Every row is read through the
// whole API; each must end in a clean refusal at the expected stage.
enum class Outcome {
  NotAModule,     // Open gives none
  NoGroups,       // opens; the group icon enumeration fails
  AppGroupFails,  // opens, groups 1 and 5 still read, APP gives no set
};

struct DamageCase {
  const char* label;
  std::function<void(std::vector<std::uint8_t>&, const PeLayout&)> damage;
  Outcome outcome;
};

std::uint32_t Get32(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  return ByteSpan(bytes).u32(offset).value_or(0);
}
std::size_t ResourceDirectory(const PeLayout& layout) { return layout.dataDirectories + 16; }
std::size_t ResourceSection(const PeLayout& layout) { return layout.resourceSectionHeader; }
const test::PeResourceLayout& App(const PeLayout& layout) { return layout.of(kResourceTypeGroupIcon, Text(u"APP")); }
const test::PeResourceLayout& Icon1(const PeLayout& layout) { return layout.of(kResourceTypeIcon, Id(1)); }
std::uint32_t InTree(const PeLayout& layout, std::size_t fileOffset) {
  return static_cast<std::uint32_t>(fileOffset - layout.resourceRoot);
}
constexpr std::uint32_t kDir = 0x80000000u;

const DamageCase kDamageCases[] = {
    {"EmptyFile", [](auto& b, auto&) { b.clear(); }, Outcome::NotAModule},
    {"ShorterThanTheDosHeader", [](auto& b, auto&) { b.resize(0x3E); }, Outcome::NotAModule},
    {"NoDosSignature", [](auto& b, auto&) { b[1] = 'X'; }, Outcome::NotAModule},
    {"NewHeaderPastTheEnd", [](auto& b, auto&) { PutU32(b, 0x3C, static_cast<std::uint32_t>(b.size())); }, Outcome::NotAModule},
    {"NewHeaderNear4GB", [](auto& b, auto&) { PutU32(b, 0x3C, 0xFFFFFFFEu); }, Outcome::NotAModule},
    {"CutInsideTheFileHeader", [](auto& b, auto& l) { b.resize(l.fileHeader + 10); }, Outcome::NotAModule},
    {"CutInsideTheOptionalHeader", [](auto& b, auto& l) { b.resize(l.optionalHeader + 60); }, Outcome::NotAModule},
    {"WrongSignature", [](auto& b, auto& l) { b[l.newHeader + 3] = 1; }, Outcome::NotAModule},
    {"UnknownMagic", [](auto& b, auto& l) { PutU16(b, l.optionalHeader, 0x107); }, Outcome::NotAModule},
    {"OptionalHeaderTooSmallForItsDirectories",
     [](auto& b, auto& l) { PutU16(b, l.fileHeader + 16, static_cast<std::uint16_t>(l.dataDirectories - l.optionalHeader + 8 * 15)); },
     Outcome::NotAModule},
    {"OptionalHeaderTooSmallForTheMagic", [](auto& b, auto& l) { PutU16(b, l.fileHeader + 16, 1); }, Outcome::NotAModule},
    {"OptionalHeaderPastTheEnd", [](auto& b, auto& l) { PutU16(b, l.fileHeader + 16, 0xFFFF); }, Outcome::NotAModule},
    {"TwoDataDirectories", [](auto& b, auto& l) { PutU32(b, l.dataDirectories - 4, 2); }, Outcome::NotAModule},
    {"NoDataDirectories", [](auto& b, auto& l) { PutU32(b, l.dataDirectories - 4, 0); }, Outcome::NotAModule},
    {"SectionTablePastTheEnd", [](auto& b, auto& l) { PutU16(b, l.fileHeader + 2, 0xFFFF); }, Outcome::NotAModule},
    {"NoSections", [](auto& b, auto& l) { PutU16(b, l.fileHeader + 2, 0); }, Outcome::NotAModule},
    {"ResourceSectionDataPastTheEnd",
     [](auto& b, auto& l) { PutU32(b, ResourceSection(l) + 20, static_cast<std::uint32_t>(b.size() + 0x1000)); },
     Outcome::NotAModule},
    {"ResourceSectionDataWrapsAt4GB", [](auto& b, auto& l) { PutU32(b, ResourceSection(l) + 20, 0xFFFFFF00u); },
     Outcome::NotAModule},
    {"ResourceSectionAddressesWrapAt4GB",
     [](auto& b, auto& l) {
       PutU32(b, ResourceSection(l) + 12, 0xFFFFF000u);
       PutU32(b, ResourceSection(l) + 8, 0x2000);
       PutU32(b, ResourceDirectory(l), 0xFFFFF000u);
     },
     Outcome::NotAModule},
    {"ResourceDirectoryOutsideEverySection", [](auto& b, auto& l) { PutU32(b, ResourceDirectory(l), 0x900000); },
     Outcome::NotAModule},
    {"ResourceDirectoryAtTheEndOfItsSection",
     [](auto& b, auto& l) { PutU32(b, ResourceDirectory(l), l.resourceRva + Get32(b, ResourceSection(l) + 8) - 8); },
     Outcome::NotAModule},
    {"NoResourceDirectory", [](auto& b, auto& l) { PutU32(b, ResourceDirectory(l), 0); }, Outcome::NoGroups},
    {"RootCountRunsPastTheEnd", [](auto& b, auto& l) { PutU16(b, l.resourceRoot + 12, 0xFFFF); }, Outcome::NoGroups},
    {"TypeCountRunsPastTheEnd", [](auto& b, auto& l) { PutU16(b, App(l).typeDirectory + 14, 0xFFFF); },
     Outcome::NoGroups},
    {"TypeEntryIsADataLeaf", [](auto& b, auto& l) { PutU32(b, App(l).typeEntry + 4, InTree(l, App(l).dataEntry)); },
     Outcome::NoGroups},
    {"TypeDirectoryIsTheRoot", [](auto& b, auto& l) { PutU32(b, App(l).typeEntry + 4, kDir); }, Outcome::NoGroups},
    {"TypeDirectoryPastTheEnd", [](auto& b, auto& l) { PutU32(b, App(l).typeEntry + 4, kDir | 0x7FFFFFF0u); },
     Outcome::NoGroups},
    {"NameDirectoryIsItsOwnParent",
     [](auto& b, auto& l) { PutU32(b, App(l).nameEntry + 4, kDir | InTree(l, App(l).typeDirectory)); },
     Outcome::AppGroupFails},
    {"NameDirectoryIsTheRoot", [](auto& b, auto& l) { PutU32(b, App(l).nameEntry + 4, kDir); }, Outcome::AppGroupFails},
    {"NameEntryIsADataLeaf", [](auto& b, auto& l) { PutU32(b, App(l).nameEntry + 4, InTree(l, App(l).dataEntry)); },
     Outcome::AppGroupFails},
    {"LanguageEntryIsADirectory",
     [](auto& b, auto& l) { PutU32(b, App(l).languageEntry + 4, kDir | InTree(l, Icon1(l).languageDirectory)); },
     Outcome::AppGroupFails},
    {"LanguageEntryPointsAtAnAncestor", [](auto& b, auto& l) { PutU32(b, App(l).languageEntry + 4, kDir); },
     Outcome::AppGroupFails},
    {"LanguageCountRunsPastTheEnd", [](auto& b, auto& l) { PutU16(b, App(l).languageDirectory + 14, 0xFFFF); },
     Outcome::AppGroupFails},
    {"DataEntryPastTheEnd", [](auto& b, auto& l) { PutU32(b, App(l).languageEntry + 4, 0x7FFFFFF8u); },
     Outcome::AppGroupFails},
    {"NameOffsetPastTheEnd", [](auto& b, auto& l) { PutU32(b, App(l).nameEntry, kDir | 0x7FFFFFF0u); },
     Outcome::AppGroupFails},
    {"NameLengthPastTheEnd", [](auto& b, auto& l) { PutU16(b, App(l).nameString, 0xFFFF); }, Outcome::AppGroupFails},
    {"GroupDataSizeZero", [](auto& b, auto& l) { PutU32(b, App(l).dataEntry + 4, 0); }, Outcome::AppGroupFails},
    {"GroupDataSizeNear4GB", [](auto& b, auto& l) { PutU32(b, App(l).dataEntry + 4, 0xFFFFFFF0u); },
     Outcome::AppGroupFails},
    {"GroupDataOutsideEverySection", [](auto& b, auto& l) { PutU32(b, App(l).dataEntry, 0x800000); },
     Outcome::AppGroupFails},
    {"GroupDataWrapsAt4GB",
     [](auto& b, auto& l) {
       PutU32(b, App(l).dataEntry, 0xFFFFFFF0u);
       PutU32(b, App(l).dataEntry + 4, 0x40);
     },
     Outcome::AppGroupFails},
    {"GroupDataRunsPastItsSection",
     [](auto& b, auto& l) { PutU32(b, App(l).dataEntry + 4, static_cast<std::uint32_t>(b.size() - App(l).data + 1)); },
     Outcome::AppGroupFails},
    {"GroupCountLargerThanTheResource", [](auto& b, auto& l) { PutU16(b, App(l).data + 4, 5); },
     Outcome::AppGroupFails},
    {"GroupShorterThanItsHeader", [](auto& b, auto& l) { PutU32(b, App(l).dataEntry + 4, 5); },
     Outcome::AppGroupFails},
    {"ImageIdMissing", [](auto& b, auto& l) { PutU16(b, App(l).data + 6 + 14 * 2 + 12, 999); },
     Outcome::AppGroupFails},
    {"ImageSizeZero", [](auto& b, auto& l) { PutU32(b, Icon1(l).dataEntry + 4, 0); }, Outcome::AppGroupFails},
    {"ImageSizeNear4GB", [](auto& b, auto& l) { PutU32(b, Icon1(l).dataEntry + 4, 0xFFFFFFFFu); },
     Outcome::AppGroupFails},
    {"ImageDataOutsideEverySection", [](auto& b, auto& l) { PutU32(b, Icon1(l).dataEntry, 0x10); },
     Outcome::AppGroupFails},
};

// Reads everything a damaged module offers, so that the sanitizers see every
// path taken.
void ReadEverything(const Module& module) {
  for (const std::uint16_t type : {kResourceTypeIcon, kResourceTypeGroupIcon, std::uint16_t{6}}) {
    module.EnumNames(type, [&](const ResourceName& name) {
      for (const std::uint16_t language : {std::uint16_t{0}, std::uint16_t{0x409}, std::uint16_t{0x407}}) {
        if (const auto found = module.Find(name, type, language)) {
          const auto bytes = module.Load(*found);
          EXPECT_TRUE(bytes);
          if (bytes) {
            EXPECT_EQ(bytes->size(), found->size);
          }
        }
      }
      if (type == kResourceTypeGroupIcon) LoadModuleIconGroup(module, "m", name);
      return true;
    });
  }
}

TEST(ModuleReader, DamagedModulesAreRefusedCleanly) {
  for (const bool plus : {false, true}) {
    for (const DamageCase& c : kDamageCases) {
      SCOPED_TRACE(std::string(c.label) + (plus ? " (PE32+)" : " (PE32)"));
      PeOptions options;
      options.pe32Plus = plus;
      PeLayout layout;
      auto bytes = ExampleModule(options).Build(&layout);
      c.damage(bytes, layout);
      // A copy of exactly the damaged size, so that a read past its end is
      // seen by the address sanitizer.
      const std::vector<std::uint8_t> file(bytes.begin(), bytes.end());
      const auto module = Module::FromBytes(ByteSpan(file));
      if (c.outcome == Outcome::NotAModule) {
        EXPECT_FALSE(module);
        continue;
      }
      ASSERT_TRUE(module);
      ReadEverything(*module);
      const CountResult result = CountPass(*module, 1);
      if (c.outcome == Outcome::NoGroups) {
        EXPECT_FALSE(result.enumerated);
        EXPECT_EQ(result.count, 0);
        continue;
      }
      EXPECT_TRUE(result.enumerated);
      EXPECT_GE(result.count, 2);
      EXPECT_FALSE(LoadModuleIconGroup(*module, "m", Text(u"APP")));
      EXPECT_TRUE(LoadModuleIconGroup(*module, "m", Id(1)));
      EXPECT_TRUE(LoadModuleIconGroup(*module, "m", Id(5)));
    }
  }
}

// Every truncation of a module is refused or read within its bytes.
TEST(ModuleReader, EveryTruncationIsReadSafely) {
  const auto whole = ExampleModule().Build();
  for (std::size_t size = 0; size < whole.size(); size += (size < 0x400 ? 1 : 7)) {
    const std::vector<std::uint8_t> file(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
    if (const auto module = Module::FromBytes(ByteSpan(file))) ReadEverything(*module);
  }
}

}  // namespace
}  // namespace brimlet
