// The drop object: which drags it takes, the effect it shows, the text that
// FileDropped carries, and its registration on a window.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>

#include <string>
#include <vector>

#include "drop/test_data_object.h"
#include "drop_object.h"
#include "drop_target.h"

namespace brimlet::app {
namespace {

using test::NewTestDataObject;
using test::OfferedData;

constexpr DWORD None = DROPEFFECT_NONE;
constexpr DWORD Copy = DROPEFFECT_COPY;
constexpr DWORD Move = DROPEFFECT_MOVE;
constexpr DWORD Link = DROPEFFECT_LINK;

// OLE for the thread, uninitialised again with the test.
class OleThread : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(OleInitialize(nullptr), S_OK); }
  void TearDown() override { OleUninitialize(); }
};

// The data objects of the tests, released with the test.
class DataRef {
 public:
  explicit DataRef(const OfferedData& offered) : data_(NewTestDataObject(offered)) {}
  DataRef(const DataRef&) = delete;
  DataRef& operator=(const DataRef&) = delete;
  ~DataRef() { data_->Release(); }
  IDataObject* get() const { return data_; }

 private:
  IDataObject* data_;
};

OfferedData OneFile() {
  OfferedData offered;
  offered.files = {"C:\\Tools\\setup.exe"};
  return offered;
}

struct Recorder {
  std::vector<std::string> texts;
  EDropTarget::FileDroppedHandler Handler() {
    return [this](const std::string& text) { texts.push_back(text); };
  }
};

// The effect table: keys held x effects the source allows.
struct EffectRow {
  DWORD keys;
  DWORD allowed;
  DWORD shown;
};

constexpr DWORD Ctrl = MK_CONTROL;
constexpr DWORD Shift = MK_SHIFT;
constexpr DWORD Both = MK_CONTROL | MK_SHIFT;
constexpr DWORD Button = MK_LBUTTON;

const EffectRow EffectTable[] = {
    // No key: the first allowed of copy, move, link.
    {0, Copy | Move | Link, Copy},
    {0, Copy, Copy},
    {0, Move | Link, Move},
    {0, Move, Move},
    {0, Link, Link},
    {0, Copy | Link, Copy},
    {0, None, None},
    {Button, Copy | Move, Copy},
    {0, DROPEFFECT_SCROLL, None},
    {0, DROPEFFECT_SCROLL | Link, Link},
    // Ctrl copies, when copying is allowed.
    {Ctrl, Copy | Move | Link, Copy},
    {Ctrl, Copy, Copy},
    {Ctrl | Button, Copy | Move, Copy},
    {Ctrl, Move | Link, None},
    {Ctrl, Move, None},
    {Ctrl, None, None},
    // Shift moves, when moving is allowed.
    {Shift, Copy | Move | Link, Move},
    {Shift, Move, Move},
    {Shift | Button, Copy | Move, Move},
    {Shift, Copy | Link, None},
    {Shift, Link, None},
    {Shift, None, None},
    // Both together: nothing, whatever is allowed.
    {Both, Copy | Move | Link, None},
    {Both, Copy, None},
    {Both, Move, None},
    {Both, Link, None},
    {Both | Button, Copy | Move | Link, None},
    // Alt is not one of the keys looked at.
    {MK_ALT, Copy | Move, Copy},
};

TEST(DropEffectTest, FollowsTheKeysAndTheAllowedEffects) {
  for (const EffectRow& row : EffectTable) {
    EXPECT_EQ(DropEffectFor(row.keys, row.allowed), row.shown) << "keys " << row.keys << " allowed " << row.allowed;
  }
}

TEST_F(OleThread, AFileDragShowsTheTableEffectOnEnterAndOnEveryOver) {
  Recorder recorder;
  const ComRef<EDropTarget> target = EDropTarget::Create(recorder.Handler());
  const DataRef data(OneFile());
  for (const EffectRow& row : EffectTable) {
    DWORD effect = row.allowed;
    ASSERT_EQ(target->DragEnter(data.get(), row.keys, POINTL{10, 10}, &effect), S_OK);
    EXPECT_EQ(effect, row.shown) << "DragEnter keys " << row.keys << " allowed " << row.allowed;
    EXPECT_TRUE(target->DragTaken());
    // Every DragOver works the effect out again from its own keys.
    for (const EffectRow& over : EffectTable) {
      effect = over.allowed;
      ASSERT_EQ(target->DragOver(over.keys, POINTL{20, 20}, &effect), S_OK);
      EXPECT_EQ(effect, over.shown) << "DragOver keys " << over.keys << " allowed " << over.allowed;
    }
    ASSERT_EQ(target->DragLeave(), S_OK);
  }
  EXPECT_TRUE(recorder.texts.empty());
}

TEST_F(OleThread, TextHtmlAndLinkDragsAreRefused) {
  Recorder recorder;
  const ComRef<EDropTarget> target = EDropTarget::Create(recorder.Handler());
  std::vector<OfferedData> offers = test::TextHtmlAndLinkOffers();
  offers.push_back(OfferedData{});  // nothing at all
  for (const OfferedData& offered : offers) {
    const DataRef data(offered);
    for (const EffectRow& row : EffectTable) {
      DWORD effect = row.allowed;
      ASSERT_EQ(target->DragEnter(data.get(), row.keys, POINTL{1, 1}, &effect), S_OK);
      EXPECT_EQ(effect, None);
      EXPECT_FALSE(target->DragTaken());
      effect = row.allowed;
      ASSERT_EQ(target->DragOver(row.keys, POINTL{2, 2}, &effect), S_OK);
      EXPECT_EQ(effect, None);
      effect = row.allowed;
      ASSERT_EQ(target->Drop(data.get(), row.keys, POINTL{2, 2}, &effect), S_OK);
      EXPECT_EQ(effect, None);
    }
  }
  EXPECT_TRUE(recorder.texts.empty());
}

TEST_F(OleThread, AFileListNextToTextIsTaken) {
  Recorder recorder;
  const ComRef<EDropTarget> target = EDropTarget::Create(recorder.Handler());
  OfferedData offered = OneFile();
  offered.text = true;
  offered.html = true;
  offered.link = true;
  const DataRef data(offered);
  DWORD effect = Copy | Move;
  ASSERT_EQ(target->DragEnter(data.get(), 0, POINTL{1, 1}, &effect), S_OK);
  EXPECT_EQ(effect, Copy);
  effect = Copy | Move;
  ASSERT_EQ(target->Drop(data.get(), 0, POINTL{1, 1}, &effect), S_OK);
  EXPECT_EQ(recorder.texts, std::vector<std::string>{"C:\\Tools\\setup.exe"});
}

TEST_F(OleThread, DragLeaveForgetsTheDrag) {
  Recorder recorder;
  const ComRef<EDropTarget> target = EDropTarget::Create(recorder.Handler());
  const DataRef data(OneFile());
  DWORD effect = Copy;
  ASSERT_EQ(target->DragEnter(data.get(), 0, POINTL{1, 1}, &effect), S_OK);
  ASSERT_EQ(effect, Copy);
  ASSERT_EQ(target->DragLeave(), S_OK);
  EXPECT_FALSE(target->DragTaken());
  effect = Copy;
  ASSERT_EQ(target->DragOver(0, POINTL{1, 1}, &effect), S_OK);
  EXPECT_EQ(effect, None);
  effect = Copy;
  ASSERT_EQ(target->Drop(data.get(), 0, POINTL{1, 1}, &effect), S_OK);
  EXPECT_EQ(effect, None);
  EXPECT_TRUE(recorder.texts.empty());
}

TEST_F(OleThread, ADropRaisesFileDroppedOnceWhenItsEffectIsNotNone) {
  struct DropRow {
    DWORD enterKeys;
    DWORD dropKeys;
    DWORD allowed;
    bool raised;
    DWORD answered;
  };
  // The answer to the source is never a move: only the names are taken.
  const DropRow rows[] = {
      {0, 0, Copy | Move, true, Copy},
      {0, Ctrl, Copy | Move | Link, true, Copy},
      {0, Shift, Copy | Move, true, Copy},
      {0, Shift, Move, true, None},
      {0, 0, Move, true, None},
      {0, 0, Link, true, Link},
      {0, Both, Copy | Move | Link, false, None},
      {Both, Both, Copy | Move | Link, false, None},
      {Both, 0, Copy, true, Copy},  // the keys at the moment of the drop count
      {0, Ctrl, Move, false, None},
      {0, Shift, Copy, false, None},
      {0, 0, None, false, None},
  };
  for (const DropRow& row : rows) {
    Recorder recorder;
    const ComRef<EDropTarget> target = EDropTarget::Create(recorder.Handler());
    const DataRef data(OneFile());
    DWORD effect = row.allowed;
    ASSERT_EQ(target->DragEnter(data.get(), row.enterKeys, POINTL{1, 1}, &effect), S_OK);
    effect = row.allowed;
    ASSERT_EQ(target->DragOver(row.enterKeys, POINTL{2, 2}, &effect), S_OK);
    effect = row.allowed;
    ASSERT_EQ(target->Drop(data.get(), row.dropKeys, POINTL{3, 3}, &effect), S_OK);
    EXPECT_EQ(recorder.texts.size(), row.raised ? 1U : 0U) << "drop keys " << row.dropKeys << " allowed " << row.allowed;
    EXPECT_EQ(effect, row.answered) << "drop keys " << row.dropKeys << " allowed " << row.allowed;
    EXPECT_FALSE(target->DragTaken());
    // The drop ended the drag: a second Drop without a new DragEnter is not a drop.
    effect = row.allowed;
    ASSERT_EQ(target->Drop(data.get(), row.dropKeys, POINTL{3, 3}, &effect), S_OK);
    EXPECT_EQ(effect, None);
    EXPECT_EQ(recorder.texts.size(), row.raised ? 1U : 0U);
  }
}

TEST_F(OleThread, TheDroppedTextIsOnePathExactlyOrEveryPathWithCrLf) {
  struct TextRow {
    std::vector<std::string> files;
    bool wide;
    std::string text;
  };
  const TextRow rows[] = {
      {{"C:\\Tools\\setup.exe"}, false, "C:\\Tools\\setup.exe"},
      {{"C:\\Tools\\setup.exe"}, true, "C:\\Tools\\setup.exe"},
      {{"Z:\\tmp\\a b\\SETUP.EXE"}, false, "Z:\\tmp\\a b\\SETUP.EXE"},
      {{"C:\\a.exe", "C:\\b.exe"}, false, "C:\\a.exe\r\nC:\\b.exe\r\n"},
      {{"C:\\a.exe", "C:\\b.dll", "D:\\c"}, true, "C:\\a.exe\r\nC:\\b.dll\r\nD:\\c\r\n"},
      // GBK names come through DragQueryFileA in the ANSI code page.
      {{"C:\\\xcd\xbc\xb1\xea.exe"}, true, "C:\\\xcd\xbc\xb1\xea.exe"},
      {{"C:\\\xcd\xbc\xb1\xea.exe"}, false, "C:\\\xcd\xbc\xb1\xea.exe"},
      {{std::string("C:\\") + std::string(300, 'x') + ".exe"}, false, std::string("C:\\") + std::string(300, 'x') + ".exe"},
      {{}, false, ""},
  };
  ASSERT_EQ(GetACP(), 936U) << "the tests run in the program's code page";
  for (const TextRow& row : rows) {
    Recorder recorder;
    const ComRef<EDropTarget> target = EDropTarget::Create(recorder.Handler());
    OfferedData offered;
    offered.files = row.files;
    offered.offerEmptyList = row.files.empty();
    offered.wideNames = row.wide;
    const DataRef data(offered);
    DWORD effect = Copy;
    ASSERT_EQ(target->DragEnter(data.get(), 0, POINTL{1, 1}, &effect), S_OK);
    effect = Copy;
    ASSERT_EQ(target->Drop(data.get(), 0, POINTL{1, 1}, &effect), S_OK);
    ASSERT_EQ(recorder.texts.size(), 1U);
    EXPECT_EQ(recorder.texts[0], row.text);
  }
}

// Reference count of a COM object, read without changing it.
ULONG References(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

class DropWindowTest : public OleThread {
 protected:
  static HWND NewWindow() {
    return CreateWindowExA(0, "STATIC", "drop test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
  }
};

TEST_F(DropWindowTest, ASecondRegistrationIsRefused) {
  Recorder recorder;
  DropObject dropObject(recorder.Handler());
  const HWND first = NewWindow();
  const HWND second = NewWindow();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(RegisterDropWindow(dropObject, first));
  EXPECT_EQ(dropObject.Window(), first);
  EXPECT_FALSE(RegisterDropWindow(dropObject, first));
  EXPECT_FALSE(RegisterDropWindow(dropObject, second));
  // The second window got no drop target.
  EXPECT_EQ(RevokeDragDrop(second), DRAGDROP_E_NOTREGISTERED);
  EXPECT_EQ(dropObject.Window(), first);
  DestroyWindow(first);
  DestroyWindow(second);
  // Still refused: the object has registered a window once.
  const HWND third = NewWindow();
  EXPECT_FALSE(RegisterDropWindow(dropObject, third));
  DestroyWindow(third);
}

TEST_F(DropWindowTest, AWindowWithADropTargetOfItsOwnIsRefused) {
  Recorder recorder;
  DropObject dropObject(recorder.Handler());
  DropObject other(recorder.Handler());
  const HWND window = NewWindow();
  ASSERT_TRUE(RegisterDropWindow(other, window));
  EXPECT_FALSE(RegisterDropWindow(dropObject, window));
  EXPECT_EQ(dropObject.Window(), nullptr);
  // A refused attempt is no registration: another window can still be taken.
  const HWND next = NewWindow();
  EXPECT_TRUE(RegisterDropWindow(dropObject, next));
  DestroyWindow(window);
  DestroyWindow(next);
}

TEST_F(DropWindowTest, TheRegistrationIsWithdrawnWithTheWindow) {
  Recorder recorder;
  DropObject dropObject(recorder.Handler());
  const ULONG before = References(&dropObject.Target());
  const HWND window = NewWindow();
  ASSERT_TRUE(RegisterDropWindow(dropObject, window));
  EXPECT_GT(References(&dropObject.Target()), before) << "OLE holds the target while it is registered";
  ASSERT_TRUE(DestroyWindow(window));
  EXPECT_EQ(References(&dropObject.Target()), before) << "OLE let the target go with the window";
  EXPECT_EQ(dropObject.Window(), nullptr);
}

TEST_F(DropWindowTest, TheRegistrationIsWithdrawnWithTheObject) {
  const HWND window = NewWindow();
  {
    Recorder recorder;
    DropObject dropObject(recorder.Handler());
    ASSERT_TRUE(RegisterDropWindow(dropObject, window));
  }
  // The window is free for another drop target, and its destruction finds no
  // watch of the object that has gone.
  EXPECT_EQ(RevokeDragDrop(window), DRAGDROP_E_NOTREGISTERED);
  EXPECT_TRUE(DestroyWindow(window));
}

TEST_F(DropWindowTest, NoWindowIsNoRegistration) {
  Recorder recorder;
  DropObject dropObject(recorder.Handler());
  EXPECT_FALSE(RegisterDropWindow(dropObject, nullptr));
  const HWND window = NewWindow();
  EXPECT_TRUE(RegisterDropWindow(dropObject, window));
  DestroyWindow(window);
}

TEST(DropObjectTest, TheTargetAnswersOnlyForIUnknownAndIDropTarget) {
  const ComRef<EDropTarget> target = EDropTarget::Create({});
  void* object = nullptr;
  ASSERT_EQ(target->QueryInterface(IID_IDropTarget, &object), S_OK);
  EXPECT_EQ(object, static_cast<IDropTarget*>(target.get()));
  static_cast<IUnknown*>(object)->Release();
  ASSERT_EQ(target->QueryInterface(IID_IUnknown, &object), S_OK);
  static_cast<IUnknown*>(object)->Release();
  EXPECT_EQ(target->QueryInterface(IID_IDataObject, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(References(target.get()), 1U);
}

TEST(DropObjectTest, MainDropObjectIsOneObject) { EXPECT_EQ(&MainDropObject(), &MainDropObject()); }

}  // namespace
}  // namespace brimlet::app
