// File encryption onto a full disk: drive F: is a file system of 64 KiB that
// fulldisk-prefix.sh mounts afresh for each run and that each test fills
// first. A small output stays in the stream's buffer until the end, so only
// the final flush can find that it does not fit; a large one fails midway,
// in the middle of the session key's stream.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "host.h"
#include "model.h"
#include "testdir.h"
#include "texts.h"

using fllhost::CallResult;
using fllhost::Host;
using fllhost::Value;
using testing_support::Deliverable;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

using crypt_tests::RandomBytes;
using crypt_tests::Report;

Value T(const std::string& s)
{
    return Value::Text(s);
}

// Writes a file on the drive until the drive takes no more.
void FillDrive(const std::string& root)
{
    HANDLE h = CreateFileA((root + "\\filler").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const std::string block(4096, 'f');
    DWORD written = 0;
    for (int i = 0; i < 1024; ++i) {
        if (!WriteFile(h, block.data(), static_cast<DWORD>(block.size()), &written, nullptr) ||
            written < block.size())
            break;
    }
    CloseHandle(h);
    ULARGE_INTEGER free{};
    ASSERT_TRUE(GetDiskFreeSpaceExA((root + "\\").c_str(), &free, nullptr, nullptr));
    ASSERT_EQ(free.QuadPart, 0u) << "the drive is full";
}

class FullDisk : public ::testing::Test {
  protected:
    void SetUp() override
    {
        const char* drive = std::getenv("FULLDISK_DRIVE");
        if (!drive || !*drive)
            GTEST_SKIP() << "the full drive is mapped by fulldisk-prefix.sh; run through CTest";
        root = drive;
        ASSERT_TRUE(host.load(Deliverable("marvo32.fll")));
        FillDrive(root);
    }

    bool logical(const std::string& name, const std::vector<Value>& args)
    {
        CallResult r = host.call(name, args);
        EXPECT_FALSE(r.failed()) << name << ": " << r.hostError << r.userError << r.refused;
        EXPECT_EQ(r.results, 1) << name;
        return r.value.logical;
    }
    std::string text(const std::string& name, const std::vector<Value>& args)
    {
        CallResult r = host.call(name, args);
        EXPECT_FALSE(r.failed()) << name;
        return r.value.text;
    }
    std::string takeOutput()
    {
        std::string out = host.output();
        host.output().clear();
        return out;
    }

    std::string root;
    TempDir dir;
    Host host;
};

struct FileFunction {
    const char* name;
    bool withPassword;
    const char* writeMessage;
};

const FileFunction kFunctions[] = {
    {"M_FENCRPTW", true, "Chyba při zápisu do výstupního souboru."},
    {"M_FDECRPTW", true, "Chyba zápisu do výstupního souboru!"},
    {"M_FECRPTWX", false, "Chyba při zápisu do výstupního souboru."},
    {"M_FDCRPTWX", false, "Chyba zápisu do výstupního souboru!"},
};

TEST_F(FullDisk, ASmallFileThatDoesNotFitIsAFailedWrite)
{
    const std::string input = dir.file("small.txt");
    WriteFile(input, "a few bytes that no full disk can take");
    ASSERT_TRUE(logical("M_CRPTINIT", {T("password")}));
    for (const FileFunction& f : kFunctions) {
        const std::string output = root + "\\out.bin";
        std::vector<Value> args = {T(input), T(output)};
        if (f.withPassword)
            args.push_back(T("password"));
        EXPECT_FALSE(logical(f.name, args)) << f.name;
        EXPECT_EQ(takeOutput(), Report(f.writeMessage, ERROR_DISK_FULL)) << f.name;
        EXPECT_EQ(ReadFile(output), "") << f.name << ": nothing could be written";
    }
}

// After a session call that stopped midway, the next one starts at the
// beginning of the key stream: its result is the model's cipher of the raw
// password, as a fresh key gives it.
TEST_F(FullDisk, AfterAWriteFailsMidwayTheSessionStartsAfresh)
{
    const std::string password = "session key";
    const std::string large = RandomBytes(200000, 31);
    const std::string probe = RandomBytes(2500, 32);
    WriteFile(dir.file("large.bin"), large);
    WriteFile(dir.file("probe.bin"), probe);
    ASSERT_TRUE(logical("M_CRPTINIT", {T(password), Value::Bool(true)}));
    for (const FileFunction& f : kFunctions) {
        if (f.withPassword)
            continue;
        EXPECT_FALSE(logical(f.name, {T(dir.file("large.bin")), T(root + "\\out.bin")})) << f.name;
        EXPECT_EQ(takeOutput(), Report(f.writeMessage, ERROR_DISK_FULL)) << f.name;
        EXPECT_TRUE(text("M_ENCRPTWX", {T(probe)}) == model::Cipher(password, probe))
            << "after " << f.name;
        ASSERT_TRUE(logical(f.name, {T(dir.file("probe.bin")), T(dir.file("done.bin"))}));
        EXPECT_TRUE(ReadFile(dir.file("done.bin")) == model::Cipher(password, probe))
            << "after " << f.name;
    }
}

} // namespace
