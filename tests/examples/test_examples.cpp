// The sample programs of examples/ as a user runs them: copied with
// marvo32.h into a folder of their own, run by fllhost.exe with that folder
// as TEMP, and their output compared with what the program must print. The
// checksums are the published check values (CRC-32 and CRC-16/ARC of
// "123456789") and those of zlib and a bitwise CRC-16/ARC for the others.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <windows.h>

#include "testdir.h"

using testing_support::TempDir;

namespace {

class Handle {
  public:
    explicit Handle(HANDLE h = nullptr) : h_(h) {}
    ~Handle() { close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }
    HANDLE* out() { return &h_; }
    void close()
    {
        if (h_ && h_ != INVALID_HANDLE_VALUE)
            CloseHandle(h_);
        h_ = nullptr;
    }

  private:
    HANDLE h_;
};

// This process's environment with TEMP and TMP set to `temp`, as a block.
std::string EnvironmentWithTemp(const std::string& temp)
{
    std::string block;
    char* all = GetEnvironmentStringsA();
    for (const char* p = all; *p; p += std::strlen(p) + 1) {
        const std::string entry = p;
        const std::string name = entry.substr(0, entry.find('='));
        if (_stricmp(name.c_str(), "TEMP") != 0 && _stricmp(name.c_str(), "TMP") != 0)
            block += entry + '\0';
    }
    FreeEnvironmentStringsA(all);
    return block + "TEMP=" + temp + '\0' + "TMP=" + temp + '\0' + '\0';
}

struct Outcome {
    DWORD status = 0xFFFFFFFF;
    std::string output; // standard output and standard error, as they came
};

// fllhost.exe with the program, in `folder` as the current and the temporary folder.
Outcome RunExample(const std::string& program, const std::string& folder)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    Handle read, write;
    Outcome o;
    if (!CreatePipe(read.out(), write.out(), &inherit, 0))
        return o;
    SetHandleInformation(read.get(), HANDLE_FLAG_INHERIT, 0);
    Handle in(CreateFileA("NUL", GENERIC_READ, 0, &inherit, OPEN_EXISTING, 0, nullptr));
    std::string line =
        "\"" + testing_support::Deliverable("fllhost.exe") + "\" \"" + program + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in.get();
    si.hStdOutput = write.get();
    si.hStdError = write.get();
    PROCESS_INFORMATION pi{};
    std::string environment = EnvironmentWithTemp(folder);
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, &environment[0],
                        folder.c_str(), &si, &pi))
        return o;
    Handle process(pi.hProcess), thread(pi.hThread);
    write.close();
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(read.get(), buffer, sizeof buffer, &got, nullptr) && got)
        o.output.append(buffer, got);
    WaitForSingleObject(process.get(), INFINITE);
    GetExitCodeProcess(process.get(), &o.status);
    return o;
}

struct Example {
    const char* name;
    const char* output;
};

const Example kExamples[] = {
    {"checksums", "File            Bytes  CRC-32      CRC-16\n"
                  "DIGITS.TXT          9 0xCBF43926 0x0000BB3D\n"
                  "EMPTY.TXT           0 0x00000000 0x00000000\n"
                  "FOX.TXT            43 0x414FA339 0x0000FCDF\n"
                  "TWO-BYTES.BIN       2 0x6CDBFD72 0x00004040\n"
                  "4 files\n"},
    {"memo", "Record 1 sealed: 30 bytes, still readable: .F.\n"
             "Record 2 sealed: 36 bytes, still readable: .F.\n"
             "Record 1 with a wrong password: .F.\n"
             "Record 1 opened: Monday: the diskettes arrived.\n"
             "Record 2 with a wrong password: .F.\n"
             "Record 2 opened: Tuesday: the CD went to the printer.\n"},
    {"waitesc", "Press Esc within 2 seconds to stop...\n"
                "Nobody pressed Esc: going on.\n"},
};

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA f;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &f);
    for (bool more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileA(h, &f))
        if (std::strcmp(f.cFileName, ".") != 0 && std::strcmp(f.cFileName, "..") != 0)
            names.push_back(f.cFileName);
    if (h != INVALID_HANDLE_VALUE)
        FindClose(h);
    return names;
}

TEST(Examples, PrintWhatTheyShould)
{
    const std::string source = SOURCE_DIR;
    for (const Example& e : kExamples) {
        TempDir dir;
        const std::string program = dir.file(std::string(e.name) + ".prg");
        ASSERT_TRUE(
            CopyFileA((source + "\\examples\\" + e.name + ".prg").c_str(), program.c_str(), FALSE))
            << e.name;
        ASSERT_TRUE(CopyFileA((source + "\\include\\marvo32.h").c_str(),
                              dir.file("marvo32.h").c_str(), FALSE));
        const Outcome o = RunExample(program, dir.path());
        EXPECT_EQ(o.output, e.output) << e.name;
        EXPECT_EQ(o.status, 0u) << e.name;
        // What a program makes in the temporary folder it removes again.
        std::vector<std::string> left = FilesIn(dir.path());
        std::vector<std::string> copied{std::string(e.name) + ".prg", "marvo32.h"};
        std::sort(left.begin(), left.end());
        std::sort(copied.begin(), copied.end());
        EXPECT_EQ(left, copied) << e.name;
    }
}

TEST(Examples, EveryProgramOfTheFolderIsRun)
{
    std::vector<std::string> programs = FilesIn(std::string(SOURCE_DIR) + "\\examples");
    std::sort(programs.begin(), programs.end());
    std::vector<std::string> run;
    for (const Example& e : kExamples)
        run.push_back(std::string(e.name) + ".prg");
    run.push_back("drives.prg"); // Examples.DriveList, in a Wine prefix of its own
    std::sort(run.begin(), run.end());
    EXPECT_EQ(programs, run);
}

} // namespace
