#include <windows.h>

#include "app/main_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  return RunFoliostamp(instance, showCommand);
}
