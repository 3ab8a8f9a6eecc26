// Independent checkers run as shell commands (native builds only): icoutils,
// ImageMagick and the like read what the engine wrote.
#pragma once

#include <optional>
#include <string>

namespace brimlet::test {

// The text in single quotes for the shell, inner quotes escaped.
std::string ShellQuoted(const std::string& text);

// The standard output of a shell command, whatever its exit status; empty
// when it could not be started.
std::string CommandOutput(const std::string& command);

// The standard output of a shell command; nullopt when it could not be run or
// did not succeed.
std::optional<std::string> RunCommand(const std::string& command);

// What `icotool -l` lists for an ICO file: one line per image.
std::string IcotoolList(const std::string& path);

}  // namespace brimlet::test
