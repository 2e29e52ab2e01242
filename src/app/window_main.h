#pragma once

// The window part of the program: the application, its services and the main window. On
// Windows it is linked into the program; elsewhere it is a module of its own that the program
// loads only when a window is to be shown, so that commands without a window start without Qt.
#if defined(_WIN32)
#define NORVANE_WINDOW_ENTRY extern "C"
#else
#define NORVANE_WINDOW_ENTRY extern "C" __attribute__((visibility("default")))
#endif

// Shows the main window for `commandLine` (the arguments joined, as the window reads them)
// and runs the application until it quits; returns its exit status. Qt is given
// `programName` only, so that no file name is ever taken for one of Qt's own options.
NORVANE_WINDOW_ENTRY int norvane_window_main(char* programName, const char* commandLine);

// The name the entry is found by in the module.
inline constexpr const char* NorvaneWindowEntryName = "norvane_window_main";
using NorvaneWindowEntry = int (*)(char* programName, const char* commandLine);
