// M_RMDIR and M_MKDIR with the root of a drive, on drive M:, which
// drive-prefix.sh maps to a temporary folder. "M:" alone names the drive's
// current directory, so a root must never lose its backslash; and under Wine
// removing "M:\" removes the folder behind an empty mapped drive, so a root
// is never handed to Windows for removal at all.
#include <windows.h>

#include <string>

#include "drivetest.h"
#include "system_host.h"
#include "testdir.h"

namespace {

using drivetest::DriveTest;
using drivetest::Exists;
using drivetest::MakeFolder;
using drivetest::MappedFolder;
using fllhost::Value;

// The process's current directory and drive M:'s own one (the variable "=M:"
// that Windows consults for a path like "M:"), put back at scope end; the
// folder behind M: is made again should a faulty call have removed it.
class CurrentDirectories {
  public:
    CurrentDirectories()
    {
        GetCurrentDirectoryA(MAX_PATH, process_);
        hadDrive_ = GetEnvironmentVariableA("=M:", drive_, MAX_PATH) != 0;
    }
    ~CurrentDirectories()
    {
        SetCurrentDirectoryA(process_);
        SetEnvironmentVariableA("=M:", hadDrive_ ? drive_ : nullptr);
        if (!Exists(MappedFolder('m')))
            CreateDirectoryA(MappedFolder('m').c_str(), nullptr);
    }
    CurrentDirectories(const CurrentDirectories&) = delete;
    CurrentDirectories& operator=(const CurrentDirectories&) = delete;

  private:
    char process_[MAX_PATH] = {};
    char drive_[MAX_PATH] = {};
    bool hadDrive_ = false;
};

// Every way of writing the root of M: (the current drive in the first case).
const char* const kRoots[] = {
    "M:\\", "m:\\", "M:/", "\\", "M:\\current\\..", "M:\\.", "\\\\?\\M:\\", "\\\\.\\M:\\",
};

TEST_F(DriveTest, RemovingARootRemovesNeitherTheCurrentDirectoryNorTheDrive)
{
    // Declared first, removed last: a folder that is still the process's
    // current directory cannot be removed.
    testing_support::TempDir elsewhere;
    CurrentDirectories keep;
    MakeFolder("M:\\current");
    struct Setting {
        const char* name;
        std::string process;  // the process's current directory
        const char* driveOwn; // "=M:", when the process is elsewhere
    };
    const Setting settings[] = {
        {"the process in M:\\current", "M:\\current", nullptr},
        {"M:'s own current directory", elsewhere.path(), "M:\\current"},
    };
    for (const Setting& s : settings) {
        ASSERT_TRUE(SetCurrentDirectoryA(s.process.c_str())) << s.name;
        if (s.driveOwn) {
            ASSERT_TRUE(SetEnvironmentVariableA("=M:", s.driveOwn));
        }
        for (const char* root : kRoots) {
            EXPECT_TRUE(system_tests::Logical(host.call("M_RMDIR", {Value::Text(root)}), false))
                << s.name << ": " << root;
            EXPECT_TRUE(Exists("M:\\current")) << s.name << ": " << root;
        }
    }
}

TEST_F(DriveTest, RemovingTheRootOfAnEmptyDriveLeavesTheDrive)
{
    // Declared first, removed last: a folder that is still the process's
    // current directory cannot be removed.
    testing_support::TempDir elsewhere;
    CurrentDirectories keep;
    ASSERT_TRUE(SetCurrentDirectoryA(elsewhere.path().c_str()));
    SetEnvironmentVariableA("=M:", nullptr);
    ASSERT_TRUE(Exists(MappedFolder('m')));
    for (const char* root : {"M:\\", "M:/", "M:", "\\\\?\\M:\\", "\\\\.\\M:\\", "M:\\x\\.."}) {
        EXPECT_TRUE(system_tests::Logical(host.call("M_RMDIR", {Value::Text(root)}), false))
            << root;
        ASSERT_TRUE(Exists(MappedFolder('m'))) << root << " removed the folder behind M:";
    }
}

TEST_F(DriveTest, CreatingARootCreatesNothingElse)
{
    CurrentDirectories keep;
    MakeFolder("M:\\current");
    ASSERT_TRUE(SetCurrentDirectoryA("M:\\current"));
    for (const char* root : {"M:\\", "M:/", "\\"}) {
        EXPECT_TRUE(system_tests::Logical(host.call("M_MKDIR", {Value::Text(root)}), false))
            << root;
    }
    EXPECT_EQ(drivetest::Names("M:"), std::vector<std::string>{"current"});
    EXPECT_EQ(drivetest::Names("M:\\current"), std::vector<std::string>{});
}

} // namespace
