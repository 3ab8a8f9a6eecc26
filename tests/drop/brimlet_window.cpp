#include "drop/brimlet_window.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace brimlet::test {

namespace {

// A waiting bound, so that a broken program fails the test instead of hanging it.
constexpr DWORD ClickMilliseconds = 120000;

// "提取" and "删除" in GBK.
constexpr char ExtractText[] = "\xcc\xe1\xc8\xa1";
constexpr char DeleteText[] = "\xc9\xbe\xb3\xfd";

// The main window is the one with the caption "Brimlet".
bool IsMainWindow(HWND window) {
  char caption[32] = {};
  GetWindowTextA(window, caption, static_cast<int>(sizeof caption));
  return std::strcmp(caption, "Brimlet") == 0;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM children) {
  reinterpret_cast<std::vector<HWND>*>(children)->push_back(child);
  return TRUE;
}

std::string TextOf(HWND window) {
  char text[1024] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 10000,
                           &copied)) {
    return "<no answer>";
  }
  return std::string(text, std::min<std::size_t>(copied, sizeof text - 1));
}

RECT ClientRectOf(HWND child, HWND parent) {
  RECT rect{};
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// The drag source of the tests: moves the pointer from outside the window to
// the spot step by step, holds the keys in this thread's keyboard state (where
// the drag loop reads them), and drops once the pointer has rested there.
// COM objects end through Release, never through a pointer to the interface.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class StepDropSource final : public IDropSource {
 public:
  StepDropSource(POINT from, POINT to, DWORD keys) : from_(from), to_(to), keys_(keys) {}
  StepDropSource(const StepDropSource&) = delete;
  StepDropSource& operator=(const StepDropSource&) = delete;
  ~StepDropSource() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropSource)) {
      *object = static_cast<IDropSource*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // Lives on the stack of Drag, longer than the drag loop that uses it.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD) override {
    if (escapePressed) return DRAGDROP_S_CANCEL;
    HoldKeys();
    ++step_;
    if (step_ <= Steps) {
      const LONG x = from_.x + (to_.x - from_.x) * step_ / Steps;
      const LONG y = from_.y + (to_.y - from_.y) * step_ / Steps;
      SetCursorPos(x, y);
      return S_OK;
    }
    POINT now{};
    GetCursorPos(&now);
    reachedTarget_ = now.x == to_.x && now.y == to_.y;
    if (step_ <= Steps + RestSteps) return S_OK;
    return DRAGDROP_S_DROP;
  }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override {
    if (step_ > Steps) lastShown_ = effect;
    return DRAGDROP_S_USEDEFAULTCURSORS;
  }

  void HoldKeys() const {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    constexpr BYTE Down = 0x80;
    constexpr BYTE Up = 0;
    keys[VK_LBUTTON] = Down;
    keys[VK_CONTROL] = (keys_ & MK_CONTROL) != 0 ? Down : Up;
    keys[VK_LCONTROL] = keys[VK_CONTROL];
    keys[VK_SHIFT] = (keys_ & MK_SHIFT) != 0 ? Down : Up;
    keys[VK_LSHIFT] = keys[VK_SHIFT];
    SetKeyboardState(keys);
  }
  void ReleaseKeys() const {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    for (const int key : {VK_LBUTTON, VK_CONTROL, VK_LCONTROL, VK_SHIFT, VK_LSHIFT}) keys[key] = 0;
    SetKeyboardState(keys);
  }

  DWORD LastShown() const { return lastShown_; }
  bool ReachedTarget() const { return reachedTarget_; }

 private:
  static constexpr LONG Steps = 8;
  static constexpr LONG RestSteps = 4;

  POINT from_;
  POINT to_;
  DWORD keys_;
  LONG step_ = 0;
  DWORD lastShown_ = DROPEFFECT_NONE;
  bool reachedTarget_ = false;
};
#pragma GCC diagnostic pop

struct DataRelease {
  void operator()(IDataObject* data) const { data->Release(); }
};

}  // namespace

BrimletProcess::BrimletProcess(const std::string& exePath) : program_(exePath) {
  window_ = program_.WaitForWindow(IsMainWindow);
  if (window_ == nullptr) return;
  std::vector<HWND> children;
  EnumChildWindows(window_, CollectChild, reinterpret_cast<LPARAM>(&children));
  for (const HWND child : children) {
    const RECT rect = ClientRectOf(child, window_);
    char className[64] = {};
    GetClassNameA(child, className, static_cast<int>(sizeof className));
    if (lstrcmpiA(className, "Button") == 0) {
      const std::string text = TextOf(child);
      if (text == ExtractText) extract_ = child;
      if (text == DeleteText) delete_ = child;
    } else if (rect.left == 0 && rect.top == 64 && rect.right == 744 && rect.bottom == 120) {
      label_ = child;
    } else if (rect.left == 80 && rect.top == 112) {
      picture_ = child;
    }
  }
}

BrimletProcess::~BrimletProcess() {
  if (program_.Running()) Close();
}

bool BrimletProcess::Close() {
  const std::optional<DWORD> exitCode = program_.CloseAndWait(window_);
  window_ = nullptr;
  return exitCode == DWORD{0};
}

std::string BrimletProcess::Caption() const { return TextOf(label_); }

bool BrimletProcess::Press(HWND button) const {
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_NORMAL, ClickMilliseconds, &ignored) != 0;
}

POINT BrimletProcess::ScreenPoint(const Spot& spot) const {
  POINT point = spot.client;
  ClientToScreen(window_, &point);
  return point;
}

HWND BrimletProcess::WindowAt(const Spot& spot) const { return WindowFromPoint(ScreenPoint(spot)); }

DragResult BrimletProcess::Drag(const OfferedData& offered, const Spot& spot, DWORD keys) const {
  DragResult result;
  const std::unique_ptr<IDataObject, DataRelease> data(NewTestDataObject(offered));
  const POINT to = ScreenPoint(spot);
  // Start at the top left of the screen, outside the centred window.
  const POINT from{4, 4};
  SetCursorPos(from.x, from.y);
  StepDropSource source(from, to, keys);
  source.HoldKeys();
  DWORD effect = DROPEFFECT_NONE;
  result.result = DoDragDrop(data.get(), &source, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, &effect);
  source.ReleaseKeys();
  result.answered = effect;
  result.lastShown = source.LastShown();
  result.reachedTarget = source.ReachedTarget();
  SetCursorPos(from.x, from.y);
  return result;
}

}  // namespace brimlet::test
