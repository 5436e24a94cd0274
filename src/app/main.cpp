#include <windows.h>

// The wizard window arrives with the application's window classes; until then the executable
// carries its resources and ends at once.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
