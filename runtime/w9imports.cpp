// Three Unicode functions that the compiler's runtime calls: the exception
// unwinder's lock makes a semaphore, and the C runtime probes for functions
// of msvcrt.dll and advapi32.dll by module name. Windows 95, 98 and ME have
// them only as stubs that fail. The runtime's references to them resolve
// here, to the ANSI functions every Windows has, so the shipped programs
// import no Unicode function that Windows 9x lacks and the unwinder's lock
// works there too.
//
// The linker takes these definitions of the import slots before it searches
// kernel32's import library, which then adds no entry for them.
#include <windows.h>

namespace {

// The names the runtime passes are short and ASCII; a name that does not
// convert is passed on as missing rather than cut.
class NarrowName {
  public:
    explicit NarrowName(LPCWSTR wide)
    {
        if (!wide)
            return;
        ok_ = WideCharToMultiByte(CP_ACP, 0, wide, -1, text_, sizeof text_, nullptr, nullptr) > 0;
    }
    bool ok() const { return ok_; }
    const char* get() const { return ok_ ? text_ : nullptr; }

  private:
    char text_[MAX_PATH] = {};
    bool ok_ = false;
};

HANDLE WINAPI createSemaphore(LPSECURITY_ATTRIBUTES security, LONG initial, LONG maximum,
                              LPCWSTR name)
{
    NarrowName narrow(name);
    if (name && !narrow.ok()) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    return CreateSemaphoreA(security, initial, maximum, narrow.get());
}

HMODULE WINAPI getModuleHandle(LPCWSTR name)
{
    NarrowName narrow(name);
    if (name && !narrow.ok()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return GetModuleHandleA(narrow.get());
}

HMODULE WINAPI loadLibrary(LPCWSTR name)
{
    NarrowName narrow(name);
    if (!narrow.ok()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return LoadLibraryA(narrow.get());
}

} // namespace

extern "C" {
extern void* const importCreateSemaphoreW __asm__("__imp__CreateSemaphoreW@16");
extern void* const importGetModuleHandleW __asm__("__imp__GetModuleHandleW@4");
extern void* const importLoadLibraryW __asm__("__imp__LoadLibraryW@4");

void* const importCreateSemaphoreW = reinterpret_cast<void*>(&createSemaphore);
void* const importGetModuleHandleW = reinterpret_cast<void*>(&getModuleHandle);
void* const importLoadLibraryW = reinterpret_cast<void*>(&loadLibrary);
}
