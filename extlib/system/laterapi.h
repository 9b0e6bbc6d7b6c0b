// Windows functions that not every target system has, looked up by name when
// a call needs them instead of being imported: a library that imports one
// function its Windows lacks does not load at all. Windows 95 has no IP
// Helper library; Windows 9x has no access tokens.
#pragma once

#include <windows.h>

namespace marvo {

// A system library loaded for the scope; null where the system has none.
class LoadedModule {
  public:
    explicit LoadedModule(const char* name) : module_(LoadLibraryA(name)) {}
    ~LoadedModule()
    {
        if (module_)
            FreeLibrary(module_);
    }
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    // The named function, or null where the library or the function is missing.
    template <typename Function> Function find(const char* name) const
    {
        if (!module_)
            return nullptr;
        return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

  private:
    HMODULE module_;
};

} // namespace marvo
