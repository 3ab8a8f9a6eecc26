// Brimlet.exe: saves the icons of an executable dropped on its window as ICO
// files.
#include <windows.h>

#include "program.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*showCommand*/) {
  return brimlet::app::RunProgram(instance);
}
