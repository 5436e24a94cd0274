#include <windows.h>

// Holds the Wine desktop of a test session open, so that each test program attaches to a running
// desktop instead of starting (and later tearing down) one of its own. Ended by wineserver -k.
int main() {
  GetDesktopWindow();
  for (;;) Sleep(60 * 60 * 1000);
}
