// Where the tests find their inputs and put their outputs, in the form the
// engine under test takes paths (Windows form under Wine).
#pragma once

#include <string>

namespace brimlet::test {

// The folder of unpacked real inputs (Wine's 32-bit modules and such).
std::string TestDataDir();
// Wine's 32-bit modules, PE32.
std::string Wine32Module(const std::string& name);
// Wine's 64-bit modules, PE32+.
std::string Wine64Module(const std::string& name);
// A Linux path as the engine under test takes it: unchanged natively, "Z:" in
// front under Wine.
std::string NativePath(const std::string& unixPath);
// A fresh, empty folder for one test's outputs (created; removed again by the
// next run of the same test).
std::string FreshTempDir(const std::string& name);
// Writes bytes to a file; true on success.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool WriteFileBytes(const std::string& path, const void* data, std::size_t size);
// Reads a whole file; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);

}  // namespace brimlet::test
