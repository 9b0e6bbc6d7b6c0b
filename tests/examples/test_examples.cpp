// The sample programs of examples/ as a user runs them: copied with
// marvo32.h into a folder of their own, run by fllhost.exe with that folder
// as TEMP, and their output compared with what the program must print. The
// checksums are the published check values (CRC-32 and CRC-16/ARC of
// "123456789") and those of zlib and a bitwise CRC-16/ARC for the others.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <windows.h>

#include "runhost.h"
#include "testdir.h"

using testing_support::TempDir;

namespace {

using Outcome = testing_support::HostRun;

// fllhost.exe with the program, in `folder` as the current and the temporary folder.
Outcome RunExample(const std::string& program, const std::string& folder)
{
    return testing_support::RunFllhost({program}, "", folder, folder);
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
