// The drop handler and the Extract and Delete commands, called directly with
// a plain window as the status label.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "app_state.h"
#include "drop/icon_check.h"
#include "drop/output_folder.h"
#include "handlers.h"
#include "status_texts.h"
#include "support/image_builder.h"
#include "support/ne_builder.h"
#include "support/test_paths.h"

namespace brimlet::app {
namespace {

using test::InOutputFolder;
using test::OutputFolderEntries;

// The GBK bytes of a text, as Windows converts it with code page 936.
std::string Gbk(const std::wstring& text) {
  const int size = WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

TEST(StatusTextsTest, AreTheGbkBytesOfTheChineseTexts) {
  struct TextRow {
    const char* defined;
    std::wstring text;
    std::size_t bytes;
  };
  const TextRow rows[] = {
      {StatusAccepted, L"已接收到您提取的可执行文件，请单击提取按钮。", 44},
      {StatusRejected, L"您拖动的文件无法识别，请将后缀名为EXE的可执行文件拖动至窗口中。", 63},
      {StatusExtracted, L"已成功提取图标文件，文件保存至C:\\Users\\Administrator\\Desktop\\", 61},
      {StatusDropAgain, L"请拖动文件或重新拖动文件。", 26},
      {StatusSaveFailed, L"图标文件保存失败，请确认文件夹C:\\Users\\Administrator\\Desktop\\存在且可以写入。", 77},
      {StatusNoIcons, L"未在该文件中找到图标，请拖动其他可执行文件。", 44},
  };
  std::set<std::string> distinct;
  for (const TextRow& row : rows) {
    EXPECT_EQ(std::string(row.defined), Gbk(row.text));
    EXPECT_EQ(std::strlen(row.defined), row.bytes);
    distinct.insert(row.defined);
  }
  EXPECT_EQ(distinct.size(), std::size(rows));
}

// A plain window stands in for the label 标签1.
class HandlerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    label_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 300, 40, nullptr, nullptr, GetModuleHandleA(nullptr),
                             nullptr);
    ASSERT_NE(label_, nullptr);
    SetStatusLabel(label_);
    droppedFilePath.clear();
    iconCounter = 0;
    SetCaption(Welcome);
  }
  void TearDown() override {
    SetStatusLabel(nullptr);
    DestroyWindow(label_);
  }

  static std::string Caption() {
    char text[512] = {};
    const int copied = GetWindowTextA(StatusLabel(), text, static_cast<int>(sizeof text));
    return std::string(text, static_cast<std::size_t>(copied > 0 ? copied : 0));
  }
  static void SetCaption(const std::string& text) { SetWindowTextA(StatusLabel(), text.c_str()); }

  static constexpr char Welcome[] = "welcome\r\n\r\nplease drop";
  HWND label_ = nullptr;
};

TEST_F(HandlerTest, ADropIsStoredAndJudgedByItsLastFourBytes) {
  struct VerdictRow {
    std::string received;
    bool accepted;
  };
  const VerdictRow rows[] = {
      {"C:\\Tools\\setup.exe", true},
      {"C:\\Tools\\SETUP.EXE", false},
      {"C:\\Tools\\Setup.Exe", false},
      {"C:\\Tools\\setup.exE", false},
      {"C:\\Tools\\setup.exe.txt", false},
      {"C:\\Tools\\icons.dll", false},
      {"C:\\Tools\\setup.exe ", false},
      {"C:\\Tools\\setupexe", false},
      {"C:\\Tools\\folder.exe", true},  // only the name is judged
      {"C:\\Missing\\nothing.exe", true},
      {".exe", true},
      {"exe", false},
      {".ex", false},
      {"", false},
      {"C:\\a.exe\r\nC:\\b.exe\r\n", false},  // two files dropped together
      {"C:\\\xcd\xbc\xb1\xea.exe", true},     // a GBK name
      {"C:\\\xcd\xbc\xb1\xea", false},
  };
  for (const VerdictRow& row : rows) {
    SetCaption(Welcome);
    OnFileDropped(row.received);
    EXPECT_EQ(droppedFilePath, row.received);
    EXPECT_EQ(Caption(), row.accepted ? StatusAccepted : StatusRejected) << row.received;
  }
}

TEST_F(HandlerTest, ADropKeepsItsOwnCopyAndReplacesTheEarlierOne) {
  std::string received = "C:\\Tools\\setup.exe";
  OnFileDropped(received);
  received.assign("changed afterwards");
  EXPECT_EQ(droppedFilePath, "C:\\Tools\\setup.exe");
  EXPECT_EQ(Caption(), StatusAccepted);

  OnFileDropped("C:\\Tools\\icons.dll");
  EXPECT_EQ(droppedFilePath, "C:\\Tools\\icons.dll");
  EXPECT_EQ(Caption(), StatusRejected);

  OnFileDropped("C:\\Tools\\other.exe");
  EXPECT_EQ(droppedFilePath, "C:\\Tools\\other.exe");
  EXPECT_EQ(Caption(), StatusAccepted);
}

// Extract and Delete work in C:\Users\Administrator\Desktop\, which the
// fixture makes afresh; they run only under Wine, inside the build's prefix.
class CommandTest : public HandlerTest {
 protected:
  void SetUp() override {
    if (!test::UnderWine()) GTEST_SKIP() << "writes into C:\\Users\\Administrator\\Desktop\\; runs under Wine only";
    HandlerTest::SetUp();
    ASSERT_TRUE(test::MakeEmptyOutputFolder());
  }
  void TearDown() override {
    if (!test::UnderWine()) return;
    HandlerTest::TearDown();
    test::MakeEmptyOutputFolder();
  }

  static std::set<std::string> Numbered(int first, int last) {
    std::set<std::string> names;
    for (int n = first; n <= last; ++n) names.insert(std::to_string(n) + ".ico");
    return names;
  }
  static void Place(const std::string& name, const std::string& bytes = "kept") {
    ASSERT_TRUE(test::WriteFileBytes(InOutputFolder(name), bytes));
  }

  // Each of the files 1.ico ... holds the images of that group of the module.
  static void ExpectGroupsWritten(const std::string& module) {
    const std::vector<test::GroupImages> groups = test::ModuleGroupImages(module);
    ASSERT_FALSE(groups.empty());
    for (std::size_t i = 0; i < groups.size(); ++i) {
      const auto file = test::ReadWholeFile(InOutputFolder(std::to_string(i + 1) + ".ico"));
      ASSERT_TRUE(file) << "group " << i + 1;
      const auto images = test::IcoImages(*file);
      ASSERT_TRUE(images) << "group " << i + 1;
      EXPECT_EQ(test::CompareIcoWithGroup(*images, groups[i]), "") << "group " << i + 1;
    }
  }
};

const std::string Regedit = test::Wine64Module("regedit.exe");  // six icon groups
const std::string Xcopy = test::Wine64Module("xcopy.exe");      // no icon group

TEST_F(CommandTest, ExtractWritesEveryGroupOfAnAcceptedModule) {
  const std::size_t groups = test::ModuleGroupImages(Regedit).size();
  ASSERT_EQ(groups, 6U);
  Place("1.ico", "an earlier file of the same name");
  Place("9.ico");
  Place("notes.txt");
  OnFileDropped(Regedit);
  ASSERT_EQ(Caption(), StatusAccepted);

  OnExtractClicked();
  EXPECT_EQ(iconCounter, 1202);
  EXPECT_EQ(Caption(), StatusExtracted);
  std::set<std::string> expected = Numbered(1, 6);
  expected.insert({"9.ico", "notes.txt"});  // numbers above k are not touched
  EXPECT_EQ(OutputFolderEntries(), expected);
  ExpectGroupsWritten(Regedit);
  EXPECT_EQ(droppedFilePath, Regedit);

  // A second press writes the same files again and asks for a new drop.
  OnExtractClicked();
  EXPECT_EQ(Caption(), StatusDropAgain);
  EXPECT_EQ(OutputFolderEntries(), expected);
  ExpectGroupsWritten(Regedit);
}

TEST_F(CommandTest, DeleteRemovesTheNumberedFilesAndNothingElse) {
  const std::set<std::string> others = {"0.ico", "1202.ico", "01.ico", "1.ico.bak", "1.txt", "a.ico", "1.icon",
                                        "-1.ico", "notes.txt"};
  for (const std::string& name : others) Place(name);
  for (const std::string& name : Numbered(1, 1201)) Place(name);
  SetCaption(StatusAccepted);
  droppedFilePath = "C:\\Tools\\setup.exe";

  OnDeleteClicked();
  EXPECT_EQ(iconCounter, 1202);
  EXPECT_EQ(OutputFolderEntries(), others);
  EXPECT_EQ(Caption(), StatusAccepted);
  EXPECT_EQ(droppedFilePath, "C:\\Tools\\setup.exe");

  // Nothing left to delete: 1201 failures, no message, no change.
  OnDeleteClicked();
  EXPECT_EQ(OutputFolderEntries(), others);
  EXPECT_EQ(Caption(), StatusAccepted);
}

TEST_F(CommandTest, DeleteGoesOnPastFilesItCannotDelete) {
  for (const std::string& name : Numbered(1, 10)) {
    if (name != "5.ico") Place(name);
  }
  ASSERT_TRUE(SetFileAttributesA(InOutputFolder("3.ico").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(CreateDirectoryA(InOutputFolder("5.ico").c_str(), nullptr));

  OnDeleteClicked();
  EXPECT_EQ(iconCounter, 1202);
  EXPECT_EQ(OutputFolderEntries(), (std::set<std::string>{"3.ico", "5.ico"}));
  SetFileAttributesA(InOutputFolder("3.ico").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(CommandTest, ExtractAfterDeleteWritesAgain) {
  OnFileDropped(Regedit);
  OnDeleteClicked();
  EXPECT_EQ(Caption(), StatusAccepted);
  OnExtractClicked();
  EXPECT_EQ(Caption(), StatusExtracted);
  EXPECT_EQ(OutputFolderEntries(), Numbered(1, 6));
  OnDeleteClicked();
  EXPECT_TRUE(OutputFolderEntries().empty());
  EXPECT_EQ(Caption(), StatusExtracted);
}

TEST_F(CommandTest, ExtractWithNothingDroppedWritesNothing) {
  OnExtractClicked();
  EXPECT_EQ(iconCounter, 1202);
  EXPECT_EQ(Caption(), StatusDropAgain);
  EXPECT_TRUE(OutputFolderEntries().empty());
}

TEST_F(CommandTest, AModuleWithoutIconsIsReported) {
  ASSERT_TRUE(test::ModuleGroupImages(Xcopy).empty());
  OnFileDropped(Xcopy);
  ASSERT_EQ(Caption(), StatusAccepted);
  OnExtractClicked();
  EXPECT_EQ(Caption(), StatusNoIcons);
  EXPECT_TRUE(OutputFolderEntries().empty());
}

TEST_F(CommandTest, AnAcceptedNameThatIsNoModuleHasNoIcons) {
  const std::string dir = test::FreshTempDir("handlers_not_a_module");
  const std::string fake = dir + "/text.exe";
  ASSERT_TRUE(test::WriteFileBytes(fake, "just text, not a module"));
  OnFileDropped(fake);
  ASSERT_EQ(Caption(), StatusAccepted);
  OnExtractClicked();
  EXPECT_EQ(Caption(), StatusNoIcons);
  EXPECT_TRUE(OutputFolderEntries().empty());
}

TEST_F(CommandTest, AMissingOutputFolderIsReportedAndNothingIsWritten) {
  ASSERT_TRUE(test::RemoveOutputFolder());
  OnFileDropped(Regedit);
  OnExtractClicked();
  EXPECT_EQ(iconCounter, 1202);
  EXPECT_EQ(Caption(), StatusSaveFailed);
  EXPECT_FALSE(test::OutputFolderExists());
  // After a report other than StatusAccepted the answer is the old one.
  OnExtractClicked();
  EXPECT_EQ(Caption(), StatusDropAgain);
}

TEST_F(CommandTest, OneFileThatCannotBeWrittenIsReported) {
  // A folder of the name 3.ico stands in the way of the third file.
  ASSERT_TRUE(CreateDirectoryA(InOutputFolder("3.ico").c_str(), nullptr));
  OnFileDropped(Regedit);
  OnExtractClicked();
  EXPECT_EQ(Caption(), StatusSaveFailed);
  // All 1201 calls were made: the other groups were written.
  EXPECT_EQ(OutputFolderEntries(), Numbered(1, 6));
  for (const char* name : {"1.ico", "2.ico", "4.ico", "5.ico", "6.ico"}) {
    EXPECT_TRUE(test::ReadWholeFile(InOutputFolder(name)).has_value()) << name;
  }
}

TEST_F(CommandTest, ARejectedNameIsStillExtractedByTheEngineSuffixRules) {
  const std::string dir = test::FreshTempDir("handlers_upper_case");
  const std::string upper = dir + "/REGEDIT.EXE";
  ASSERT_TRUE(CopyFileA(Regedit.c_str(), upper.c_str(), FALSE));
  OnFileDropped(upper);
  ASSERT_EQ(Caption(), StatusRejected);
  OnExtractClicked();
  EXPECT_EQ(Caption(), StatusDropAgain);
  EXPECT_EQ(OutputFolderEntries(), Numbered(1, 6));
  ExpectGroupsWritten(upper);
}

TEST_F(CommandTest, TwoFilesDroppedTogetherYieldNothing) {
  const std::string both = Regedit + "\r\n" + Regedit + "\r\n";
  OnFileDropped(both);
  EXPECT_EQ(Caption(), StatusRejected);
  EXPECT_EQ(droppedFilePath, both);
  OnExtractClicked();
  EXPECT_EQ(Caption(), StatusDropAgain);
  EXPECT_TRUE(OutputFolderEntries().empty());
}

// Icon libraries (.icl) and 16-bit programs are New Executable modules; the
// engine reads them like 32-bit ones, so Extract saves their groups too. Only
// the caption differs: a name not ending in ".exe" was rejected at the drop.
TEST_F(CommandTest, ExtractSavesTheGroupsOfSixteenBitModules) {
  struct Case {
    const char* fileName;
    bool library;
    test::NeName firstGroup;
    test::NeName secondGroup;
    const char* caption;
  };
  const Case cases[] = {
      {"icons.icl", true, test::NeName::Text("APP"), test::NeName::Text("DOC"), StatusDropAgain},
      {"oldapp.exe", false, test::NeName::Id(1), test::NeName::Id(7), StatusExtracted},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fileName);
    const test::GroupImages first = {test::BuildIconImage(32, 32, 4, 1), test::BuildIconImage(16, 16, 8, 2)};
    const test::GroupImages second = {test::BuildIconImage(48, 48, 1, 3)};
    const test::NeModule module = test::NeBuilder()
                                      .SetLibrary(c.library)
                                      .AddIconGroup(c.firstGroup, first, 1)
                                      .AddIconGroup(c.secondGroup, second, 10)
                                      .Build();
    const std::string path = test::FreshTempDir("handlers_ne") + "/" + c.fileName;
    ASSERT_TRUE(test::WriteFileBytes(path, module.bytes.data(), module.bytes.size()));
    ASSERT_TRUE(test::MakeEmptyOutputFolder());

    OnFileDropped(path);
    OnExtractClicked();
    EXPECT_EQ(Caption(), c.caption);
    EXPECT_EQ(OutputFolderEntries(), Numbered(1, 2));
    const test::GroupImages groups[] = {first, second};
    for (int n = 1; n <= 2; ++n) {
      const auto file = test::ReadWholeFile(InOutputFolder(std::to_string(n) + ".ico"));
      ASSERT_TRUE(file) << n;
      const auto images = test::IcoImages(*file);
      ASSERT_TRUE(images) << n;
      EXPECT_EQ(test::CompareIcoWithGroup(*images, groups[n - 1]), "") << "group " << n;
    }
  }
}

}  // namespace
}  // namespace brimlet::app
