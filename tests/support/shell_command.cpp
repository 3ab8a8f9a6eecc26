#include "support/shell_command.h"

#include <cstdio>
#include <utility>

namespace brimlet::test {

namespace {

// The output and the exit status of the command, as pclose gives it; nullopt
// when it could not be started.
std::optional<std::pair<std::string, int>> Run(const std::string& command) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string out;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
  const int status = ::pclose(pipe);
  return std::pair{std::move(out), status};
}

}  // namespace

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

std::string CommandOutput(const std::string& command) {
  auto result = Run(command);
  return result ? std::move(result->first) : std::string();
}

std::optional<std::string> RunCommand(const std::string& command) {
  auto result = Run(command);
  if (!result || result->second != 0) return std::nullopt;
  return std::move(result->first);
}

std::string IcotoolList(const std::string& path) { return CommandOutput("icotool -l " + ShellQuoted(path) + " 2>/dev/null"); }

}  // namespace brimlet::test
