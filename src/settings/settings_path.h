// Where the settings live: "Foliostamp.ini" in the current directory at start.
#pragma once

#include <stddef.h>
#include <stdint.h>

constexpr size_t kSettingsPathSize = 1000;

// Empty when the path could not be formed; then nothing is read or written.
extern char SettingsPath[kSettingsPathSize];

// The name resolved against the current directory to form SettingsPath.
constexpr const char* kProgramFileName = "Foliostamp.exe";

// Forms SettingsPath from the resolved full path of kProgramFileName and the
// length the system reported for it (0 on failure; the size it would need
// when the buffer was too small). A path that does not fit leaves it empty.
bool FormSettingsPath(const char* resolvedPath, uint32_t reportedLength);
