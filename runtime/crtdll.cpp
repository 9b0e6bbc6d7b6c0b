// The few C runtime entries that the programs for Windows 95 and 98 (the
// start menu and marvo32w9) need and CRTDLL.DLL names differently or lacks.
//
// Those programs link CRTDLL.DLL, the C runtime every Windows 95 and every
// Windows NT carries in its system folder, instead of MSVCRT.DLL, which
// Windows 95 lacks (Microsoft Knowledge Base Q156976: MSVCRT.DLL comes with
// Windows 98, ME and 2000, not with Windows 95). The compiler's runtime and
// our code are compiled against MSVCRT's names; the linker takes the
// definitions here before it searches the import libraries.
#include <cerrno>
#include <cstdint>

namespace {

using FindFirst = intptr_t(__cdecl*)(const char*, void*);
using FindNext = int(__cdecl*)(intptr_t, void*);
using ReadFile = int(__cdecl*)(int, void*, unsigned);
using CloseFile = int(__cdecl*)(int);

} // namespace

extern "C" {
// CRTDLL.DLL's own entries, through their import slots.
extern const FindFirst crtdllFindFirst __asm__("__imp___findfirst");
extern const FindNext crtdllFindNext __asm__("__imp___findnext");
extern const ReadFile crtdllRead __asm__("__imp___read");
extern const CloseFile crtdllClose __asm__("__imp___close");

// _findfirst32 and _findnext32 are MSVCRT's later names of _findfirst and
// _findnext: the same record (32-bit times and size, a name of MAX_PATH).
static intptr_t __cdecl findFirst32(const char* pattern, void* record)
{
    return crtdllFindFirst(pattern, record);
}
static int __cdecl findNext32(intptr_t search, void* record)
{
    return crtdllFindNext(search, record);
}
extern void* const importFindFirst32 __asm__("__imp___findfirst32");
extern void* const importFindNext32 __asm__("__imp___findnext32");
void* const importFindFirst32 = reinterpret_cast<void*>(&findFirst32);
void* const importFindNext32 = reinterpret_cast<void*>(&findNext32);

// The POSIX names that MSVCRT's import library maps to _read and _close
// (the C++ runtime's random_device, which our code never makes).
int __cdecl read(int file, void* buffer, unsigned size)
{
    return crtdllRead(file, buffer, size);
}
int __cdecl close(int file)
{
    return crtdllClose(file);
}

// rand_s is Windows XP's; the C++ runtime's random_device asks for it and
// falls back when it fails.
static int __cdecl noRandS(unsigned* value)
{
    *value = 0;
    return EINVAL;
}
extern void* const importRandS __asm__("__imp__rand_s");
void* const importRandS = reinterpret_cast<void*>(&noRandS);
}
