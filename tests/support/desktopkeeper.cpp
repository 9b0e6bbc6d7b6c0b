// Keeps the desktop of the test runs' Wine prefix for as long as its
// wineserver lives. Wine closes a desktop, and ends the explorer.exe that
// owns its window, a moment after the last program using it has ended; the
// next program that asks for a window starts a new one, and two test programs
// starting at once may each start one. A test run starts hundreds of short
// programs, so without a lasting user the desktop was closed and made again
// dozens of times a run, each time a chance for a program to make its first
// window while the old desktop was going.
//
// desktop_keeper.exe READY: once the desktop is there, makes the file READY,
// so that the caller can wait for it before the first test starts.
#include <windows.h>

int main(int argc, char** argv)
{
    if (argc != 2 || !GetDesktopWindow())
        return 1;
    HANDLE ready = CreateFileA(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready == INVALID_HANDLE_VALUE)
        return 1;
    CloseHandle(ready);
    Sleep(INFINITE);
}
