// The benchmark's payload: a window-less program that exits at once, so that
// a run measures the runner and not its payload. (The test probe lists the
// files beside it on every start, which a package of 10,000 files would
// measure instead.)
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
