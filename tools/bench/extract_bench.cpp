// The window's Extract work without the window: ExtractFileIcon called for
// n = 1 to 1201 with mode 0 and OUTDIR/n.ico, each call standing alone, as the
// Extract button runs them. For the benchmark (tools/bench/bench.py).
//
// usage: extract_bench SOURCE OUTDIR
#include <cstdint>
#include <cstdio>
#include <string>

#include "extract_command.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: extract_bench SOURCE OUTDIR\n");
    return 2;
  }
  const std::string source = argv[1];
  const std::string folder = std::string(argv[2]) + "/";
  constexpr std::int32_t kLastNumber = 1201;
  std::int32_t groups = 0;
  for (std::int32_t n = 1; n <= kLastNumber; ++n) {
    const std::string output = folder + std::to_string(n) + ".ico";
    const std::int32_t count = brimlet::ExtractFileIcon(source, 0, output, n);
    if (count > groups) groups = count;
  }
  std::printf("%d groups\n", groups);
  return groups > 0 ? 0 : 1;
}
