#include "settings/settings_path.h"

#include <string.h>

char SettingsPath[kSettingsPathSize];

bool FormSettingsPath(const char* resolvedPath, uint32_t reportedLength) {
  SettingsPath[0] = '\0';
  if (reportedLength < 3 || reportedLength >= kSettingsPathSize) return false;
  if (strlen(resolvedPath) != reportedLength) return false;
  memcpy(SettingsPath, resolvedPath, reportedLength - 3);
  memcpy(SettingsPath + reportedLength - 3, "ini", 4);
  return true;
}
