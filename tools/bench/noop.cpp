// The benchmark's floor: a Windows GUI program that does nothing, so that its
// time is what starting and ending any Wine process costs.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
