#include "test_data_object.h"

#include <shlobj.h>

#include <cstring>

namespace brimlet::test {

namespace {

// Global memory owned until it is handed on.
class OwnedGlobal {
 public:
  explicit OwnedGlobal(HGLOBAL memory) : memory_(memory) {}
  OwnedGlobal(const OwnedGlobal&) = delete;
  OwnedGlobal& operator=(const OwnedGlobal&) = delete;
  ~OwnedGlobal() {
    if (memory_ != nullptr) GlobalFree(memory_);
  }
  HGLOBAL get() const { return memory_; }
  HGLOBAL release() {
    HGLOBAL memory = memory_;
    memory_ = nullptr;
    return memory;
  }

 private:
  HGLOBAL memory_;
};

HGLOBAL NewBlock(const void* bytes, std::size_t size) {
  OwnedGlobal memory(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size));
  if (memory.get() == nullptr) return nullptr;
  void* target = GlobalLock(memory.get());
  if (target == nullptr) return nullptr;
  std::memcpy(target, bytes, size);
  GlobalUnlock(memory.get());
  return memory.release();
}

std::wstring Widen(const std::string& text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

// COM objects end through Release, never through a pointer to the interface:
// the interfaces have no virtual destructor by design.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class TestDataObject final : public IDataObject {
 public:
  explicit TestDataObject(const OfferedData& offered) : offered_(offered) {
    if (!offered.files.empty() || offered.offerEmptyList) formats_.push_back(Format(CF_HDROP));
    if (offered.text) formats_.push_back(Format(CF_TEXT));
    if (offered.html) formats_.push_back(Format(static_cast<CLIPFORMAT>(RegisterClipboardFormatA("HTML Format"))));
    if (offered.link) {
      formats_.push_back(Format(static_cast<CLIPFORMAT>(RegisterClipboardFormatA("UniformResourceLocator"))));
    }
  }
  TestDataObject(const TestDataObject&) = delete;
  TestDataObject& operator=(const TestDataObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
      *object = static_cast<IDataObject*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (format == nullptr || medium == nullptr) return E_INVALIDARG;
    const HRESULT offered = QueryGetData(format);
    if (offered != S_OK) return offered;
    HGLOBAL block = nullptr;
    if (format->cfFormat == CF_HDROP) {
      block = NewFileListBlock(offered_.files, offered_.wideNames);
    } else {
      static constexpr char Text[] = "C:\\Tools\\setup.exe";
      block = NewBlock(Text, sizeof Text);
    }
    if (block == nullptr) return E_OUTOFMEMORY;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = block;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
    if (format == nullptr) return E_INVALIDARG;
    for (const FORMATETC& offered : formats_) {
      if (offered.cfFormat == format->cfFormat) {
        return (format->tymed & TYMED_HGLOBAL) != 0 ? S_OK : DV_E_TYMED;
      }
    }
    return DV_E_FORMATETC;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    if (out != nullptr) out->ptd = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override {
    if (formats == nullptr) return E_INVALIDARG;
    *formats = nullptr;
    if (direction != DATADIR_GET) return E_NOTIMPL;
    return SHCreateStdEnumFmtEtc(static_cast<UINT>(formats_.size()), formats_.data(), formats);
  }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

 private:
  ~TestDataObject() = default;

  static FORMATETC Format(CLIPFORMAT format) { return FORMATETC{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

  LONG references_ = 1;
  OfferedData offered_;
  std::vector<FORMATETC> formats_;
};
#pragma GCC diagnostic pop

}  // namespace

HGLOBAL NewFileListBlock(const std::vector<std::string>& files, bool wideNames) {
  DROPFILES header{};
  header.pFiles = sizeof header;
  header.fWide = wideNames ? TRUE : FALSE;
  std::string block(reinterpret_cast<const char*>(&header), sizeof header);
  for (const std::string& file : files) {
    if (wideNames) {
      const std::wstring wide = Widen(file) + L'\0';
      block.append(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
    } else {
      block += file;
      block += '\0';
    }
  }
  // The list ends with an empty name.
  block.append(wideNames ? sizeof(wchar_t) : 1, '\0');
  if (files.empty()) block.append(wideNames ? sizeof(wchar_t) : 1, '\0');
  return NewBlock(block.data(), block.size());
}

std::vector<OfferedData> TextHtmlAndLinkOffers() {
  OfferedData text;
  text.text = true;
  OfferedData html;
  html.html = true;
  html.text = true;
  OfferedData link;
  link.link = true;
  link.text = true;
  return {text, html, link};
}

IDataObject* NewTestDataObject(const OfferedData& offered) { return new TestDataObject(offered); }

}  // namespace brimlet::test
