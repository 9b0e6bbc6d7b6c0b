// The delivered program file autorun.exe: its resources (version
// information, the two-image icon, the background picture's format, the hand
// pointer's size, depth and hot spot, the manifest as Windows reads it), its
// PE header's versions, and that every function it imports is there on
// Windows 95 OSR2.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "handles.h"
#include "testdir.h"

namespace {

std::string VersionText(const std::string& file, const char* name)
{
    DWORD ignored = 0;
    std::vector<char> data(GetFileVersionInfoSizeA(file.c_str(), &ignored));
    if (data.empty() || !GetFileVersionInfoA(file.c_str(), 0, DWORD(data.size()), data.data()))
        return {};
    struct Translation {
        WORD language, codePage;
    }* translation = nullptr;
    UINT size = 0;
    if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translation), &size) ||
        size < sizeof *translation)
        return {};
    char path[128];
    wsprintfA(path, "\\StringFileInfo\\%04x%04x\\%s", translation->language, translation->codePage,
              name);
    char* text = nullptr;
    if (!VerQueryValueA(data.data(), path, reinterpret_cast<void**>(&text), &size))
        return {};
    return text;
}

class AutorunResources : public ::testing::Test {
  protected:
    void SetUp() override
    {
        module_ = LoadLibraryExA(program_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(module_) << program_;
    }
    // The bytes of a resource of the program file.
    std::string Resource(LPCSTR type, int id) const
    {
        HRSRC found = FindResourceA(module_.get(), MAKEINTRESOURCEA(id), type);
        if (!found)
            return {};
        const void* bytes = LockResource(LoadResource(module_.get(), found));
        return std::string(static_cast<const char*>(bytes), SizeofResource(module_.get(), found));
    }

    std::string program_ = testing_support::Deliverable("autorun.exe");
    menu::LibraryModule module_;
};

template <typename T> T At(const std::string& bytes, size_t offset)
{
    T value{};
    if (offset + sizeof value <= bytes.size())
        memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

TEST_F(AutorunResources, VersionInformation)
{
    EXPECT_EQ(VersionText(program_, "FileVersion"), "1.00.0003");
    EXPECT_EQ(VersionText(program_, "FileDescription"), "CD Velmora");
}

TEST_F(AutorunResources, IconHasTwoImagesOf256Colours)
{
    // GRPICONDIR: reserved, type 1, count; then 14-byte entries.
    const std::string group = Resource(MAKEINTRESOURCEA(14), 1); // RT_GROUP_ICON
    ASSERT_GE(group.size(), 6u + 2 * 14);
    EXPECT_EQ(At<uint16_t>(group, 2), 1);
    ASSERT_EQ(At<uint16_t>(group, 4), 2);
    int sizes = 0;
    for (size_t i = 0; i < 2; ++i) {
        const size_t entry = 6 + 14 * i;
        sizes |= uint8_t(group[entry]);
        EXPECT_EQ(uint8_t(group[entry]), uint8_t(group[entry + 1]));
        EXPECT_EQ(At<uint16_t>(group, entry + 6), 8) << "bits per pixel";
    }
    EXPECT_EQ(sizes, 16 | 32);
}

TEST_F(AutorunResources, BackgroundIsABottomUpEightBitPictureOf255Colours)
{
    const std::string dib = Resource(MAKEINTRESOURCEA(2), 101); // RT_BITMAP
    ASSERT_GE(dib.size(), 40u);
    EXPECT_EQ(At<int32_t>(dib, 4), 563);  // width
    EXPECT_EQ(At<int32_t>(dib, 8), 563);  // height, positive: bottom-up
    EXPECT_EQ(At<uint16_t>(dib, 14), 8);  // bits per pixel
    EXPECT_EQ(At<uint32_t>(dib, 16), 0u); // BI_RGB, uncompressed
    EXPECT_EQ(At<uint32_t>(dib, 32), 255u);
    EXPECT_EQ(dib.size(), 40u + 255 * 4 + 564u * 563);
}

TEST_F(AutorunResources, HandPointerIs32By32In24BitsWithItsHotSpotAtTheFingerTip)
{
    // RT_GROUP_CURSOR entry: width, height (doubled), planes, bits, size, id;
    // the depth is read from the image's own header below.
    const std::string group = Resource(MAKEINTRESOURCEA(12), 102);
    ASSERT_GE(group.size(), 6u + 14);
    EXPECT_EQ(At<uint16_t>(group, 4), 1);
    EXPECT_EQ(At<uint16_t>(group, 6), 32);
    EXPECT_EQ(At<uint16_t>(group, 8), 64);
    const std::string cursor = Resource(MAKEINTRESOURCEA(1), At<uint16_t>(group, 18)); // RT_CURSOR
    ASSERT_GE(cursor.size(), 4u + 40);
    EXPECT_EQ(At<uint16_t>(cursor, 0), 5); // hot spot column
    EXPECT_EQ(At<uint16_t>(cursor, 2), 0); // hot spot row
    EXPECT_EQ(At<int32_t>(cursor, 4 + 4), 32);
    EXPECT_EQ(At<uint16_t>(cursor, 4 + 14), 24);
    // The hot spot lies on the pointer: its mask bit (row 0 is the last
    // mask row, bottom-up) is clear.
    const size_t mask = 4 + 40 + 32 * 32 * 3;
    const uint8_t topRowByte = uint8_t(cursor[mask + 31 * 4]);
    EXPECT_EQ(topRowByte & (0x80 >> 5), 0);
}

// ---- Manifest -----------------------------------------------------------------------

TEST_F(AutorunResources, ManifestIsResourceOneOfType24)
{
    const std::string manifest = Resource(MAKEINTRESOURCEA(24), 1); // RT_MANIFEST
    ASSERT_FALSE(manifest.empty());
    EXPECT_EQ(manifest.compare(0, 5, "<?xml"), 0);
}

// Windows' own reading of the manifest (an activation context made from the
// program file): run level asInvoker without UI access, and the supportedOS
// entries of Windows Vista, 7, 8, 8.1 and 10 with the identifiers Microsoft
// gives them.
TEST_F(AutorunResources, ManifestAsksForNoElevationAndNamesWindowsVistaTo10)
{
    ACTCTXA context{};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = program_.c_str();
    context.lpResourceName = MAKEINTRESOURCEA(1);
    const HANDLE made = CreateActCtxA(&context);
    ASSERT_NE(made, INVALID_HANDLE_VALUE) << "Windows rejects the manifest: " << GetLastError();
    struct Release {
        HANDLE context;
        ~Release() { ReleaseActCtx(context); }
    } release{made};

    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level{};
    SIZE_T size = 0;
    ASSERT_TRUE(QueryActCtxW(0, made, nullptr, RunlevelInformationInActivationContext, &level,
                             sizeof level, &size));
    EXPECT_EQ(level.RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);
    EXPECT_EQ(level.UiAccess, 0u);

    std::vector<char> compatibility(1024);
    ASSERT_TRUE(QueryActCtxW(0, made, nullptr, CompatibilityInformationInActivationContext,
                             compatibility.data(), compatibility.size(), &size));
    const GUID systems[] = {
        {0xe2011457, 0x1546, 0x43c5, {0xa5, 0xfe, 0x00, 0x8d, 0xee, 0xe3, 0xd3, 0xf0}}, // Vista
        {0x35138b9a, 0x5d96, 0x4fbd, {0x8e, 0x2d, 0xa2, 0x44, 0x02, 0x25, 0xf9, 0x3a}}, // 7
        {0x4a2f28e3, 0x53b9, 0x4441, {0xba, 0x9c, 0xd6, 0x9d, 0x4a, 0x4a, 0x6e, 0x38}}, // 8
        {0x1f676c76, 0x80e1, 0x4239, {0x95, 0xbb, 0x83, 0xd0, 0xf6, 0xd0, 0xda, 0x78}}, // 8.1
        {0x8e0f7a12, 0xbfb3, 0x4fe8, {0xb9, 0xa5, 0x48, 0xfd, 0x50, 0xa1, 0x5a, 0x9a}}, // 10
    };
    EXPECT_EQ(At<uint32_t>(std::string(compatibility.data(), size), 0), std::size(systems));
    // The element layout differs between versions of the headers; each
    // identifier is looked for in the answer as it is.
    for (const GUID& system : systems) {
        const char* bytes = reinterpret_cast<const char*>(&system);
        EXPECT_NE(std::search(compatibility.begin(), compatibility.begin() + size, bytes,
                              bytes + sizeof system),
                  compatibility.begin() + size)
            << std::hex << system.Data1;
    }
}

// ---- The PE file ---------------------------------------------------------------------

// The parts of a 32-bit PE file that these tests read.
class PeFile {
  public:
    explicit PeFile(const std::string& path) : bytes_(testing_support::ReadFile(path))
    {
        const auto nt = At<uint32_t>(bytes_, offsetof(IMAGE_DOS_HEADER, e_lfanew));
        if (bytes_.size() < nt + sizeof(IMAGE_NT_HEADERS32) || bytes_.compare(nt, 4, "PE\0\0", 4))
            return;
        headers_ = At<IMAGE_NT_HEADERS32>(bytes_, nt);
        const size_t sections = nt + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) +
                                headers_.FileHeader.SizeOfOptionalHeader;
        for (int i = 0; i < headers_.FileHeader.NumberOfSections; ++i)
            sections_.push_back(
                At<IMAGE_SECTION_HEADER>(bytes_, sections + i * sizeof(IMAGE_SECTION_HEADER)));
        valid_ = true;
    }
    bool valid() const { return valid_; }
    const IMAGE_OPTIONAL_HEADER32& optional() const { return headers_.OptionalHeader; }

    // Imported functions by DLL (upper case); by ordinal as "#n".
    std::map<std::string, std::set<std::string>> Imports() const
    {
        std::map<std::string, std::set<std::string>> imports;
        const IMAGE_DATA_DIRECTORY directory =
            optional().DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        for (uint32_t at = Offset(directory.VirtualAddress);;
             at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
            const auto entry = At<IMAGE_IMPORT_DESCRIPTOR>(bytes_, at);
            if (!entry.Name)
                break;
            std::string dll = Text(Offset(entry.Name));
            std::transform(dll.begin(), dll.end(), dll.begin(), ::toupper);
            std::set<std::string>& names = imports[dll];
            const uint32_t thunks =
                Offset(entry.OriginalFirstThunk ? entry.OriginalFirstThunk : entry.FirstThunk);
            for (uint32_t t = thunks;; t += 4) {
                const auto thunk = At<uint32_t>(bytes_, t);
                if (!thunk)
                    break;
                names.insert(thunk & IMAGE_ORDINAL_FLAG32 ? "#" + std::to_string(thunk & 0xFFFF)
                                                          : Text(Offset(thunk) + 2));
            }
        }
        return imports;
    }

  private:
    uint32_t Offset(uint32_t rva) const
    {
        for (const IMAGE_SECTION_HEADER& s : sections_)
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData)
                return rva - s.VirtualAddress + s.PointerToRawData;
        return 0;
    }
    std::string Text(uint32_t offset) const
    {
        return offset < bytes_.size() ? std::string(bytes_.c_str() + offset) : std::string();
    }

    std::string bytes_;
    IMAGE_NT_HEADERS32 headers_{};
    std::vector<IMAGE_SECTION_HEADER> sections_;
    bool valid_ = false;
};

TEST(AutorunFile, NeedsWindows40AndIsAWindowsProgram)
{
    const PeFile file(testing_support::Deliverable("autorun.exe"));
    ASSERT_TRUE(file.valid());
    EXPECT_EQ(file.optional().MajorOperatingSystemVersion, 4);
    EXPECT_EQ(file.optional().MinorOperatingSystemVersion, 0);
    EXPECT_EQ(file.optional().MajorSubsystemVersion, 4);
    EXPECT_EQ(file.optional().MinorSubsystemVersion, 0);
    EXPECT_EQ(file.optional().Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
}

// What Windows 95 OSR2's own DLLs export and implement, of what autorun.exe
// and its compiler's runtime may import (Microsoft's reference names Windows
// 95 as these functions' minimum, or NT 4.0 with "Windows 95: yes"). Of the
// Unicode functions, Windows 95 implements only a few: ExtTextOutW and
// GetTextExtentPoint32W among them.
const std::map<std::string, std::set<std::string>> kWindows95{
    {"KERNEL32.DLL",
     {"CloseHandle",
      "CreateEventA",
      "CreateMutexA",
      "CreateProcessA",
      "CreateSemaphoreA",
      "DeleteCriticalSection",
      "DuplicateHandle",
      "EnterCriticalSection",
      "ExitProcess",
      "FreeLibrary",
      "GetCommandLineA",
      "GetCurrentProcess",
      "GetCurrentProcessId",
      "GetCurrentThread",
      "GetCurrentThreadId",
      "GetLastError",
      "GetModuleFileNameA",
      "GetModuleHandleA",
      "GetProcAddress",
      "GetStartupInfoA",
      "GetSystemTimeAsFileTime",
      "GetThreadContext",
      "GetThreadPriority",
      "GetTickCount",
      "GetVersion",
      "GetWindowsDirectoryA",
      "InitializeCriticalSection",
      "IsDBCSLeadByteEx",
      "LeaveCriticalSection",
      "LoadLibraryA",
      "lstrcpynA",
      "lstrlenA",
      "MultiByteToWideChar",
      "OpenProcess",
      "OutputDebugStringA",
      "QueryPerformanceCounter",
      "RaiseException",
      "ReleaseSemaphore",
      "ResetEvent",
      "ResumeThread",
      "SetCurrentDirectoryA",
      "SetEvent",
      "SetLastError",
      "SetThreadContext",
      "SetThreadPriority",
      "SetUnhandledExceptionFilter",
      "Sleep",
      "SuspendThread",
      "TerminateProcess",
      "TlsAlloc",
      "TlsFree",
      "TlsGetValue",
      "TlsSetValue",
      "UnhandledExceptionFilter",
      "VirtualProtect",
      "VirtualQuery",
      "WaitForMultipleObjects",
      "WaitForSingleObject",
      "WideCharToMultiByte"}},
    {"USER32.DLL",
     {"AdjustWindowRectEx",
      "BeginPaint",
      "CreateWindowExA",
      "DefWindowProcA",
      "DestroyWindow",
      "DispatchMessageA",
      "EndPaint",
      "GetCursorPos",
      "GetDC",
      "GetMessageA",
      "GetSystemMetrics",
      "GetWindowLongA",
      "InvalidateRect",
      "IsDialogMessageA",
      "IsZoomed",
      "LoadCursorA",
      "LoadIconA",
      "LoadImageA",
      "MessageBoxA",
      "PostQuitMessage",
      "RegisterClassExA",
      "ReleaseCapture",
      "ReleaseDC",
      "ScreenToClient",
      "SendMessageA",
      "SetCapture",
      "SetCursor",
      "SetFocus",
      "SetWindowLongA",
      "ShowWindow",
      "SystemParametersInfoA",
      "TranslateMessage",
      "UpdateWindow"}},
    {"GDI32.DLL",
     {"BitBlt", "CreateCompatibleBitmap", "CreateCompatibleDC", "CreateFontIndirectA", "DeleteDC",
      "DeleteObject", "ExtTextOutW", "GetTextExtentPoint32W", "SelectObject", "SetBkMode",
      "SetTextAlign", "SetTextColor"}},
    {"COMCTL32.DLL", {"InitCommonControls"}},
};

// Unicode functions that Windows 95 exports as stubs failing when called; the
// compiler's runtime imports them for code that runs only on NT or never in
// this program (a contended lock, random numbers).
const std::set<std::string> kStubsThatTheRuntimeNeverCallsOn9x{"CreateSemaphoreW",
                                                               "GetModuleHandleW", "LoadLibraryW"};

// The posix thread runtime of MinGW (winpthreads) imports these functions of
// Windows 98, NT 4.0, XP and Vista; the win32 thread runtime, with which the
// deliverables are to be built, imports none of them. While the deliverables
// are still built with the posix runtime they are named here, so that
// anything else that Windows 95 lacks still fails this test.
const std::set<std::string> kPosixThreadRuntime{
    "AddVectoredExceptionHandler", "GetHandleInformation",
    "GetProcessAffinityMask",      "GetTickCount64",
    "IsDebuggerPresent",           "RemoveVectoredExceptionHandler",
    "SetProcessAffinityMask",      "TryEnterCriticalSection"};

TEST(AutorunFile, ImportsOnlyWhatWindows95Has)
{
    const PeFile file(testing_support::Deliverable("autorun.exe"));
    ASSERT_TRUE(file.valid());
    const auto imports = file.Imports();
    ASSERT_FALSE(imports.empty());
    for (const auto& [dll, names] : imports) {
        // Windows 95 has no MSVCRT.DLL; CRTDLL.DLL's functions are checked
        // one by one against docs/imports.txt by the import test.
        ASSERT_NE(dll, "MSVCRT.DLL") << "a C runtime that Windows 95 lacks";
        if (dll == "CRTDLL.DLL")
            continue;
        const auto known = kWindows95.find(dll);
        ASSERT_NE(known, kWindows95.end()) << dll << ": a DLL that must be bound at first use";
        for (const std::string& name : names) {
            if (known->second.count(name))
                continue;
            if (dll == "KERNEL32.DLL" && kStubsThatTheRuntimeNeverCallsOn9x.count(name))
                continue;
            if (dll == "KERNEL32.DLL" && kPosixThreadRuntime.count(name)) {
                std::cout << "posix thread runtime: " << name << "\n";
                continue;
            }
            ADD_FAILURE() << dll << " " << name << " is not known to be there on Windows 95 OSR2";
        }
    }
    // The shell and COM are bound by name when first needed.
    EXPECT_FALSE(imports.count("SHELL32.DLL"));
    EXPECT_FALSE(imports.count("OLE32.DLL"));
}

} // namespace
