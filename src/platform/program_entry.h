// What a system's program entry (WinMain, main) calls: the shell's whole life.
#pragma once

// From the dialog to shut-down; the process exit code (always 0).
int runApplication();
