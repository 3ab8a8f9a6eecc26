// Our module reader against an independent one: wrestool (icoutils) lists and
// extracts the icon resources of real modules, and every group, its place in
// the order and every image's bytes must agree. wrestool runs on Linux only,
// so this test is built for the native builds alone.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "module_reader.h"
#include "support/shell_command.h"
#include "support/test_paths.h"

namespace brimlet {
namespace {

struct Listed {
  std::string name;  // as wrestool prints it: the number, or the text
  std::string language;
};

// The resources of one type as `wrestool -l` lists them, in its order. A line
// reads: --type=14 --name='IDI_X' --language=0 [type=group_icon offset=... size=...]
std::vector<Listed> List(const std::string& module, int type) {
  const auto out = test::RunCommand("wrestool -l -t" + std::to_string(type) + " " + test::ShellQuoted(module));
  EXPECT_TRUE(out) << "wrestool -l failed on " << module;
  std::vector<Listed> listed;
  if (!out) return listed;
  std::size_t at = 0;
  while (at < out->size()) {
    const std::size_t end = out->find('\n', at);
    const std::string line = out->substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? out->size() : end + 1;
    const std::size_t name = line.find("--name=");
    const std::size_t language = line.find(" --language=");
    if (name == std::string::npos || language == std::string::npos) continue;
    std::string text = line.substr(name + 7, language - name - 7);
    if (text.size() >= 2 && text.front() == '\'' && text.back() == '\'') text = text.substr(1, text.size() - 2);
    const std::size_t languageEnd = line.find(' ', language + 12);
    listed.push_back({text, line.substr(language + 12, languageEnd - language - 12)});
  }
  return listed;
}

// wrestool's name for a resource of ours.
std::string WrestoolName(const ResourceName& name) {
  return name.isId() ? std::to_string(name.id()) : name.display();
}

// The resources of one type as `wrestool -x --raw` extracts them, keyed
// "name_language" (the files are named module_type_name_language[.ico]).
std::map<std::string, std::string> Extract(const std::string& module, int type, const std::string& dir) {
  std::filesystem::create_directories(dir);
  EXPECT_TRUE(test::RunCommand("wrestool -x --raw -t" + std::to_string(type) + " -o " + test::ShellQuoted(dir + "/") + " " + test::ShellQuoted(module)));
  const std::string prefix = std::filesystem::path(module).filename().string() + "_" + std::to_string(type) + "_";
  std::map<std::string, std::string> extracted;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::string file = entry.path().filename().string();
    if (file.rfind(prefix, 0) != 0) continue;
    std::string key = file.substr(prefix.size());
    if (key.size() > 4 && key.compare(key.size() - 4, 4, ".ico") == 0) key.resize(key.size() - 4);
    extracted[key] = test::ReadFileBytes(entry.path().string());
  }
  return extracted;
}

struct ModuleCase {
  std::string label;  // build and module name, for the test's name and output folder
  std::string path;
};

class ModuleAgainstWrestool : public ::testing::TestWithParam<ModuleCase> {};

std::vector<ModuleCase> Cases() {
  std::vector<ModuleCase> cases;
  for (const char* name : {"shell32.dll", "comctl32.dll", "user32.dll", "comdlg32.dll", "regedit.exe", "taskmgr.exe",
                           "winecfg.exe", "notepad.exe"}) {
    cases.push_back({std::string("i386_") + name, test::Wine32Module(name)});
    cases.push_back({std::string("x86_64_") + name, test::Wine64Module(name)});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Wine, ModuleAgainstWrestool, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<ModuleCase>& param) {
                           std::string label = param.param.label;
                           for (char& c : label) {
                             if (c == '.') c = '_';
                           }
                           return label;
                         });

TEST_P(ModuleAgainstWrestool, GroupsOrderAndImageBytesAgree) {
  const std::string& path = GetParam().path;
  ASSERT_TRUE(test::FileExists(path)) << path;

  // wrestool lists one line per name and language; the group numbers follow
  // the names' first appearance.
  std::vector<std::string> expectedNames;
  std::map<std::string, std::string> groupLanguage;
  for (const Listed& listed : List(path, 14)) {
    if (groupLanguage.emplace(listed.name, listed.language).second) expectedNames.push_back(listed.name);
  }
  ASSERT_FALSE(expectedNames.empty());

  const auto module = Module::Open(path);
  ASSERT_TRUE(module);
  requestedIconNumber = 0;
  iconGroupCount = 0;
  std::vector<ResourceName> names;
  ASSERT_TRUE(module->EnumNames(kResourceTypeGroupIcon, [&](const ResourceName& name) {
    names.push_back(name);
    return CountIconGroup(name);
  }));
  EXPECT_EQ(iconGroupCount, static_cast<std::int32_t>(expectedNames.size()));
  ASSERT_EQ(names.size(), expectedNames.size());
  for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(WrestoolName(names[i]), expectedNames[i]) << "group " << i + 1;

  const std::string dir = test::FreshTempDir("wrestool_" + GetParam().label);
  const auto groups = Extract(path, 14, dir);
  const auto icons = Extract(path, 3, dir);
  std::size_t imagesCompared = 0;
  for (const ResourceName& name : names) {
    const std::string key = WrestoolName(name) + "_" + groupLanguage[WrestoolName(name)];
    SCOPED_TRACE("group " + key);
    const auto group = groups.find(key);
    ASSERT_NE(group, groups.end());
    // The group directory as wrestool extracted it: the count at offset 4,
    // 14-byte entries from offset 6 with the image id at offset 12.
    const ByteSpan directory(reinterpret_cast<const std::uint8_t*>(group->second.data()), group->second.size());
    const std::uint16_t count = directory.u16(4).value_or(0);

    const auto set = LoadModuleIconGroup(*module, path, name);
    ASSERT_TRUE(set);
    ASSERT_EQ(set->imageCount(), count);
    for (std::uint16_t i = 0; i < count; ++i) {
      const std::uint16_t id = directory.u16(6 + 14u * i + 12).value_or(0);
      const auto icon = icons.find(std::to_string(id) + "_" + groupLanguage[WrestoolName(name)]);
      ASSERT_NE(icon, icons.end()) << "image " << id;
      const std::vector<std::uint8_t> expected(icon->second.begin(), icon->second.end());
      // Compared whole, without printing thousands of bytes when they differ.
      EXPECT_TRUE(set->frames[i].imageData == expected)
          << "image " << id << ": " << set->frames[i].imageData.size() << " bytes read, " << expected.size()
          << " extracted";
      ++imagesCompared;
    }
  }
  EXPECT_GT(imagesCompared, 0u);
}

}  // namespace
}  // namespace brimlet
