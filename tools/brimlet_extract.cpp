#include <cstdio>

int main() {
  std::puts("brimlet-extract: not yet");
  return 2;
}
