// Small helpers shared by the fuzz targets: a private scratch folder per
// process, and writing the input where the engine reads files from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "byte_span.h"

namespace brimlet::fuzz {

// A folder of its own for this process, created on first use and kept for the
// process's life (libFuzzer runs many inputs in one process).
const std::string& ScratchDir();

// Writes the bytes to path, replacing what was there; false on failure.
bool WriteWholeFile(const std::string& path, ByteSpan bytes);

// Removes every entry of the scratch folder, so that one input's outputs never
// meet the next one's.
void ClearScratchDir();

}  // namespace brimlet::fuzz
