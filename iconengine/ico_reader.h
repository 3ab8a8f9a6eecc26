// Reads an ICO file into a new IconSet, one frame per directory entry, in the
// directory's order. Of each entry only the byte count and the image offset are
// read; width, height and depth come from the image itself through BindFrame.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "icon_set.h"
#include "platform/platform_file.h"

namespace brimlet {

// The set, or nullopt when the file cannot be opened, its header is not an
// icon's, its directory is cut short, or an image lies outside the file. Each
// entry's offset and size are checked against the file's length before its
// bytes are allocated, so a short file that claims a huge image fails at once.
std::optional<IconSet> LoadIcoFile(const std::string& path);

// Reads the 6-byte header at the file's current position: the image count, or
// nullopt when a read falls short or reserved is not 0 or type is not 1.
std::optional<std::uint16_t> ReadIcoHeader(InputFile& file);

}  // namespace brimlet
