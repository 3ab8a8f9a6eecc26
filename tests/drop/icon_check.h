// Independent checks of written ICO files: the images of an ICO file, and the
// images of a module's icon groups as Windows' own resource functions give them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brimlet::test {

using ImageBytes = std::vector<std::uint8_t>;
using GroupImages = std::vector<ImageBytes>;

// The stored images of an ICO file in directory order; none when the bytes
// are not an ICO file.
std::optional<GroupImages> IcoImages(const std::vector<std::uint8_t>& file);

// Every icon group of a module in enumeration order, each with the RT_ICON
// images its directory names, read through LoadLibraryExA as a data file.
std::vector<GroupImages> ModuleGroupImages(const std::string& modulePath);

// An image as an ICO file holds it: a bitmap image with its size-image field
// (bytes 20 to 23 of its BITMAPINFOHEADER) written as 0, a PNG image unchanged.
ImageBytes AsWrittenInIco(ImageBytes image);

// Compares the images of an ICO file with a group's images as an ICO file
// holds them; empty when they agree, else what differs.
std::string CompareIcoWithGroup(const GroupImages& written, const GroupImages& group);

// The whole file, or none when it cannot be read.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path);

// True when the tests run under Wine, where the output folder
// C:\Users\Administrator\Desktop lies in the build's private prefix. Tests that
// write there run only then.
bool UnderWine();

}  // namespace brimlet::test
