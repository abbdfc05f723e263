// The program's entry point.
#include "shell/lumivex_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  lvx::shell::CLumivexApp app;
  return app.Main();
}
