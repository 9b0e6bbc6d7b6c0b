// The import directory of a 32-bit PE module, read from its file or from the
// image loaded in this process, and ImportPatch, which points one import of a
// loaded module at a stand-in for its scope: the tests see (and answer) the
// library's own Windows calls without the library carrying a test hook, and
// the calls that must not really happen here (ending the session) never do.
// LookupPatch does the same for functions the module looks up by name.
#pragma once

#include <windows.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace pe {

struct Import {
    std::string dll;      // as recorded, upper-cased
    std::string function; // by name, or "#<ordinal>"
};

inline std::string upper(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Walks the import directory of an image whose RVAs are turned into
// addresses by `at`; calls visit(dll, function, address of the IAT slot RVA).
template <typename At, typename Visit> bool walkImports(const uint8_t* headers, At at, Visit visit)
{
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(headers);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE)
        return false;
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(headers + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE ||
        nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC)
        return false;
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0)
        return true;
    auto* desc = static_cast<const IMAGE_IMPORT_DESCRIPTOR*>(at(dir.VirtualAddress));
    for (; desc && desc->Name; ++desc) {
        std::string dll = upper(static_cast<const char*>(at(desc->Name)));
        DWORD names = desc->OriginalFirstThunk ? desc->OriginalFirstThunk : desc->FirstThunk;
        auto* thunk = static_cast<const IMAGE_THUNK_DATA32*>(at(names));
        for (DWORD i = 0; thunk && thunk[i].u1.AddressOfData; ++i) {
            std::string function;
            if (IMAGE_SNAP_BY_ORDINAL32(thunk[i].u1.Ordinal)) {
                function = "#" + std::to_string(IMAGE_ORDINAL32(thunk[i].u1.Ordinal));
            } else {
                auto* byName =
                    static_cast<const IMAGE_IMPORT_BY_NAME*>(at(thunk[i].u1.AddressOfData));
                function = reinterpret_cast<const char*>(byName->Name);
            }
            visit(dll, function, desc->FirstThunk + i * sizeof(IMAGE_THUNK_DATA32));
        }
    }
    return true;
}

// The imports recorded in a module file, read as bytes (nothing is loaded).
inline std::vector<Import> FileImports(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
    std::vector<Import> imports;
    if (file.size() < sizeof(IMAGE_DOS_HEADER))
        return imports;
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(file.data());
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(file.data() + dos->e_lfanew);
    const IMAGE_SECTION_HEADER* sections = IMAGE_FIRST_SECTION(nt);
    const WORD sectionCount = nt->FileHeader.NumberOfSections;
    auto at = [&](DWORD rva) -> const void* {
        for (WORD i = 0; i < sectionCount; ++i) {
            const IMAGE_SECTION_HEADER& s = sections[i];
            DWORD size = s.Misc.VirtualSize ? s.Misc.VirtualSize : s.SizeOfRawData;
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + size) {
                DWORD offset = rva - s.VirtualAddress + s.PointerToRawData;
                return offset < file.size() ? file.data() + offset : nullptr;
            }
        }
        return nullptr;
    };
    walkImports(file.data(), at, [&](const std::string& dll, const std::string& function, DWORD) {
        imports.push_back({dll, function});
    });
    return imports;
}

inline bool Imports(const std::vector<Import>& imports, const std::string& dll,
                    const std::string& function)
{
    for (const Import& i : imports)
        if (i.dll == upper(dll) && i.function == function)
            return true;
    return false;
}

inline bool ImportsFrom(const std::vector<Import>& imports, const std::string& dll)
{
    for (const Import& i : imports)
        if (i.dll == upper(dll))
            return true;
    return false;
}

// Points module's import of dll!function at replacement until scope end.
class ImportPatch {
  public:
    ImportPatch(HMODULE module, const char* dll, const char* function, const void* replacement)
    {
        auto* base = reinterpret_cast<uint8_t*>(module);
        auto at = [base](DWORD rva) -> const void* { return base + rva; };
        walkImports(base, at, [&](const std::string& d, const std::string& f, DWORD slotRva) {
            if (!slot_ && d == upper(dll) && f == function)
                slot_ = reinterpret_cast<void**>(base + slotRva);
        });
        if (slot_) {
            original_ = *slot_;
            write(const_cast<void*>(replacement));
        }
    }
    ~ImportPatch()
    {
        if (slot_)
            write(original_);
    }
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    bool installed() const { return slot_ != nullptr; }
    template <typename F> F original() const { return reinterpret_cast<F>(original_); }

  private:
    void write(void* value)
    {
        DWORD old = 0;
        VirtualProtect(slot_, sizeof(void*), PAGE_READWRITE, &old);
        *slot_ = value;
        VirtualProtect(slot_, sizeof(void*), old, &old);
    }

    void** slot_ = nullptr;
    void* original_ = nullptr;
};

// Answers the module's own GetProcAddress lookups of the given names with
// stand-ins until scope end (a null stand-in: the system lacks the function);
// every other lookup goes on to Windows. One at a time.
class LookupPatch {
  public:
    struct Answer {
        const char* name;
        const void* function;
    };
    LookupPatch(HMODULE module, std::vector<Answer> answers)
        : answers_(std::move(answers)),
          patch_(module, "kernel32.dll", "GetProcAddress", reinterpret_cast<const void*>(&lookup))
    {
        active() = this;
    }
    ~LookupPatch() { active() = nullptr; }
    LookupPatch(const LookupPatch&) = delete;
    LookupPatch& operator=(const LookupPatch&) = delete;

    bool installed() const { return patch_.installed(); }
    int lookups(const char* name) const
    {
        int n = 0;
        for (const std::string& asked : asked_)
            n += asked == name;
        return n;
    }

  private:
    using Lookup = FARPROC(WINAPI*)(HMODULE, LPCSTR);

    static LookupPatch*& active()
    {
        static LookupPatch* current = nullptr;
        return current;
    }

    static FARPROC WINAPI lookup(HMODULE module, LPCSTR name)
    {
        LookupPatch* self = active();
        if (!self)
            return GetProcAddress(module, name);
        if (!IS_INTRESOURCE(name)) {
            self->asked_.push_back(name);
            for (const Answer& a : self->answers_)
                if (std::strcmp(a.name, name) == 0)
                    return reinterpret_cast<FARPROC>(const_cast<void*>(a.function));
        }
        return self->patch_.original<Lookup>()(module, name);
    }

    std::vector<Answer> answers_;
    std::vector<std::string> asked_;
    ImportPatch patch_;
};

} // namespace pe
