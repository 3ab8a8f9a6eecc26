// Start-up and shutdown of the program around the message loop.
#pragma once

#include <windows.h>

#include <string>

namespace brimlet::app {

// The whole run: OLE, working folder, exit routine, MainWindow, message loop,
// exit routine, OLE shut down last. Answers the process exit code.
int RunProgram(HINSTANCE instance);

// The program's exit routine: releases droppedFilePath.
void OnProgramExit();

// The folder part of a module path: everything before its last backslash
// (the whole path when it has none).
std::string FolderOfPath(const std::string& path);

}  // namespace brimlet::app
