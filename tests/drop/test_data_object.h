// A small IDataObject for the drop tests: offers a file list (CF_HDROP), text,
// HTML or a link, as a drag source from the shell or a browser would.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <string>
#include <vector>

namespace brimlet::test {

struct OfferedData {
  // The file list, offered as CF_HDROP when not empty or when offerEmptyList.
  std::vector<std::string> files;
  bool offerEmptyList = false;
  bool wideNames = false;  // DROPFILES with UTF-16 names instead of ANSI
  bool text = false;       // CF_TEXT
  bool html = false;       // "HTML Format"
  bool link = false;       // "UniformResourceLocator"
};

// What a browser or editor drag offers instead of files: text alone, HTML
// with text, and a link with text.
std::vector<OfferedData> TextHtmlAndLinkOffers();

// A new data object with one reference, owned by the caller.
IDataObject* NewTestDataObject(const OfferedData& offered);

// The DROPFILES block of a file list, in global memory owned by the caller.
HGLOBAL NewFileListBlock(const std::vector<std::string>& files, bool wideNames);

}  // namespace brimlet::test
