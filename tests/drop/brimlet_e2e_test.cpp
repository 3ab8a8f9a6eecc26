// The whole tool, end to end: the real Brimlet.exe started as its own
// process, files and text dragged onto its window with OLE from this process,
// its buttons pressed, its label read from outside, its output folder checked.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "drop/brimlet_window.h"
#include "drop/icon_check.h"
#include "drop/output_folder.h"
#include "status_texts.h"
#include "support/test_paths.h"

namespace brimlet::app {
namespace {

using test::BrimletProcess;
using test::DragResult;
using test::OfferedData;
using test::OutputFolderEntries;
using test::Spot;

const std::string Regedit = test::Wine64Module("regedit.exe");    // six icon groups
const std::string Winefile = test::Wine64Module("winefile.exe");  // one icon group
const std::string Xcopy = test::Wine64Module("xcopy.exe");        // no icon group

OfferedData Files(std::vector<std::string> files) {
  OfferedData offered;
  offered.files = std::move(files);
  return offered;
}

std::set<std::string> Numbered(int first, int last) {
  std::set<std::string> names;
  for (int n = first; n <= last; ++n) names.insert(std::to_string(n) + ".ico");
  return names;
}

// Each of the files 1.ico ... holds the images of that group of the module.
void ExpectGroupsWritten(const std::string& module) {
  const std::vector<test::GroupImages> groups = test::ModuleGroupImages(module);
  ASSERT_FALSE(groups.empty());
  for (std::size_t i = 0; i < groups.size(); ++i) {
    const auto file = test::ReadWholeFile(test::InOutputFolder(std::to_string(i + 1) + ".ico"));
    ASSERT_TRUE(file) << "group " << i + 1;
    const auto images = test::IcoImages(*file);
    ASSERT_TRUE(images) << "group " << i + 1;
    EXPECT_EQ(test::CompareIcoWithGroup(*images, groups[i]), "") << "group " << i + 1;
  }
}

class BrimletTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(OleInitialize(nullptr), S_OK); }
  static void TearDownTestSuite() { OleUninitialize(); }

  void SetUp() override {
    if (!test::UnderWine()) GTEST_SKIP() << "writes into C:\\Users\\Administrator\\Desktop\\; runs under Wine only";
    ASSERT_TRUE(test::MakeEmptyOutputFolder());
    brimlet_ = std::make_unique<BrimletProcess>(test::NativePath(BRIMLET_EXE));
    ASSERT_TRUE(brimlet_->Started()) << "Brimlet.exe did not show its window with the label and both buttons";
    welcome_ = brimlet_->Caption();
    ASSERT_FALSE(welcome_.empty());
  }
  void TearDown() override {
    if (brimlet_) {
      EXPECT_TRUE(brimlet_->Close()) << "Brimlet.exe did not end with exit code 0";
      brimlet_.reset();
    }
    if (test::UnderWine()) test::MakeEmptyOutputFolder();
  }

  // Drags and drops with no key held, and checks that the drag went through.
  void DropFiles(const std::vector<std::string>& files, const Spot& spot) {
    const DragResult drag = brimlet_->Drag(Files(files), spot, 0);
    EXPECT_EQ(drag.result, DRAGDROP_S_DROP) << spot.name;
    EXPECT_TRUE(drag.reachedTarget) << spot.name;
    EXPECT_EQ(drag.lastShown, DWORD{DROPEFFECT_COPY}) << spot.name;
    EXPECT_EQ(drag.answered, DWORD{DROPEFFECT_COPY}) << spot.name;
  }

  // A drag shown "no drop" all the way, which changed nothing.
  void ExpectRefused(const DragResult& drag) {
    EXPECT_TRUE(drag.reachedTarget);
    EXPECT_EQ(drag.lastShown, DWORD{DROPEFFECT_NONE});
    EXPECT_EQ(drag.answered, DWORD{DROPEFFECT_NONE});
    EXPECT_EQ(brimlet_->Caption(), welcome_);
  }

  // Extract with nothing stored: it asks for a drop again and writes nothing.
  void ExpectNothingToExtract() {
    ASSERT_TRUE(brimlet_->PressExtract());
    EXPECT_EQ(brimlet_->Caption(), StatusDropAgain);
    EXPECT_TRUE(OutputFolderEntries().empty());
  }

  std::unique_ptr<BrimletProcess> brimlet_;
  std::string welcome_;
};

TEST_F(BrimletTest, AFileDroppedOnAnyPartOfTheWindowIsTaken) {
  ASSERT_NE(brimlet_->PictureWindow(), nullptr);
  for (const Spot& spot : {test::Background, test::Label, test::ExtractButton, test::DeleteButton, test::Picture}) {
    DropFiles({Regedit}, spot);
    EXPECT_EQ(brimlet_->Caption(), StatusAccepted) << spot.name;
    DropFiles({test::Wine64Module("shell32.dll")}, spot);
    EXPECT_EQ(brimlet_->Caption(), StatusRejected) << spot.name;
  }
  // The spots really lie over the controls, which have no drop target of their own.
  EXPECT_EQ(brimlet_->WindowAt(test::Background), brimlet_->Window());
  EXPECT_EQ(brimlet_->WindowAt(test::Label), brimlet_->LabelWindow());
  EXPECT_EQ(brimlet_->WindowAt(test::ExtractButton), brimlet_->ExtractWindow());
  EXPECT_EQ(brimlet_->WindowAt(test::DeleteButton), brimlet_->DeleteWindow());
  EXPECT_EQ(brimlet_->WindowAt(test::Picture), brimlet_->PictureWindow());
}

TEST_F(BrimletTest, ExtractWritesTheIconGroupsAndDeleteRemovesThem) {
  ASSERT_EQ(test::ModuleGroupImages(Regedit).size(), 6U);
  ASSERT_TRUE(test::WriteFileBytes(test::InOutputFolder("notes.txt"), "kept"));
  ASSERT_TRUE(test::WriteFileBytes(test::InOutputFolder("1202.ico"), "kept"));
  DropFiles({Regedit}, test::Label);
  ASSERT_EQ(brimlet_->Caption(), StatusAccepted);

  ASSERT_TRUE(brimlet_->PressExtract());
  EXPECT_EQ(brimlet_->Caption(), StatusExtracted);
  std::set<std::string> expected = Numbered(1, 6);
  expected.insert({"notes.txt", "1202.ico"});
  EXPECT_EQ(OutputFolderEntries(), expected);
  ExpectGroupsWritten(Regedit);

  ASSERT_TRUE(brimlet_->PressExtract());
  EXPECT_EQ(brimlet_->Caption(), StatusDropAgain);
  EXPECT_EQ(OutputFolderEntries(), expected);

  ASSERT_TRUE(brimlet_->PressDelete());
  EXPECT_EQ(OutputFolderEntries(), (std::set<std::string>{"notes.txt", "1202.ico"}));
  EXPECT_EQ(brimlet_->Caption(), StatusDropAgain);
}

TEST_F(BrimletTest, AModuleWithOneGroupGivesOneFile) {
  ASSERT_EQ(test::ModuleGroupImages(Winefile).size(), 1U);
  DropFiles({Winefile}, test::Picture);
  ASSERT_TRUE(brimlet_->PressExtract());
  EXPECT_EQ(brimlet_->Caption(), StatusExtracted);
  EXPECT_EQ(OutputFolderEntries(), Numbered(1, 1));
  ExpectGroupsWritten(Winefile);
}

TEST_F(BrimletTest, TextHtmlAndLinkDragsChangeNothing) {
  for (const OfferedData& offered : test::TextHtmlAndLinkOffers()) {
    ExpectRefused(brimlet_->Drag(offered, test::Label, 0));
  }
  // Nothing was stored either: Extract finds nothing to write.
  ExpectNothingToExtract();
}

TEST_F(BrimletTest, AFileDropWithCtrlAndShiftHeldChangesNothing) {
  ExpectRefused(brimlet_->Drag(Files({Regedit}), test::Background, MK_CONTROL | MK_SHIFT));
  ExpectNothingToExtract();
}

TEST_F(BrimletTest, CtrlCopiesAndShiftMovesButTheFilesAreOnlyNamed) {
  const DragResult copy = brimlet_->Drag(Files({Regedit}), test::Label, MK_CONTROL);
  EXPECT_EQ(copy.lastShown, DWORD{DROPEFFECT_COPY});
  EXPECT_EQ(copy.answered, DWORD{DROPEFFECT_COPY});
  EXPECT_EQ(brimlet_->Caption(), StatusAccepted);
  DropFiles({Xcopy + ".txt"}, test::Label);
  EXPECT_EQ(brimlet_->Caption(), StatusRejected);

  const DragResult move = brimlet_->Drag(Files({Regedit}), test::Label, MK_SHIFT);
  EXPECT_EQ(move.lastShown, DWORD{DROPEFFECT_MOVE});
  EXPECT_EQ(move.answered, DWORD{DROPEFFECT_COPY}) << "a move answered to the source would delete the original";
  EXPECT_EQ(brimlet_->Caption(), StatusAccepted);
  EXPECT_TRUE(test::FileExists(Regedit));
}

TEST_F(BrimletTest, TwoFilesDroppedTogetherAreStoredAndRejected) {
  DropFiles({Regedit, Winefile}, test::Background);
  EXPECT_EQ(brimlet_->Caption(), StatusRejected);
  ExpectNothingToExtract();
}

TEST_F(BrimletTest, AnUpperCaseExeIsRejectedButStillExtracted) {
  const std::string dir = test::FreshTempDir("e2e_upper_case");
  const std::string upper = dir + "/REGEDIT.EXE";
  ASSERT_TRUE(CopyFileA(Regedit.c_str(), upper.c_str(), FALSE));
  DropFiles({upper}, test::Label);
  EXPECT_EQ(brimlet_->Caption(), StatusRejected);
  ASSERT_TRUE(brimlet_->PressExtract());
  EXPECT_EQ(brimlet_->Caption(), StatusDropAgain);
  EXPECT_EQ(OutputFolderEntries(), Numbered(1, 6));
  ExpectGroupsWritten(upper);
}

TEST_F(BrimletTest, AModuleWithoutIconsIsReported) {
  DropFiles({Xcopy}, test::Label);
  ASSERT_EQ(brimlet_->Caption(), StatusAccepted);
  ASSERT_TRUE(brimlet_->PressExtract());
  EXPECT_EQ(brimlet_->Caption(), StatusNoIcons);
  EXPECT_TRUE(OutputFolderEntries().empty());
}

TEST_F(BrimletTest, AMissingOutputFolderIsReportedAndNothingIsWritten) {
  ASSERT_TRUE(test::RemoveOutputFolder());
  DropFiles({Regedit}, test::Label);
  ASSERT_EQ(brimlet_->Caption(), StatusAccepted);
  ASSERT_TRUE(brimlet_->PressExtract());
  EXPECT_EQ(brimlet_->Caption(), StatusSaveFailed);
  EXPECT_FALSE(test::OutputFolderExists());
}

}  // namespace
}  // namespace brimlet::app
