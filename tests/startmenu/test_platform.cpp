// The Windows side of the start menu's actions, called directly: program
// starts with their show command and folder, the shell start that follows a
// refused elevation, and COM for the calling thread around the shell.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>

#include "driver.h"
#include "platform.h"
#include "testdir.h"

using startmenu_test::Record;
using startmenu_test::WaitForProgramToEnd;
using startmenu_test::WaitForRecord;
using testing_support::TempDir;

namespace {

class StartMenuPlatform : public ::testing::Test {
  protected:
    void SetUp() override
    {
        setup_ = temp_.file("setup.exe");
        ASSERT_TRUE(CopyFileA(RECORDER_EXE, setup_.c_str(), FALSE));
        ASSERT_TRUE(CreateDirectoryA(temp_.file("folder").c_str(), nullptr));
        GetCurrentDirectoryA(sizeof started_, started_);
    }
    // Neither this process nor a stand-in may still be in the test's folder
    // when it is removed.
    void TearDown() override
    {
        SetCurrentDirectoryA(started_);
        EXPECT_TRUE(WaitForProgramToEnd(setup_));
    }
    char started_[MAX_PATH + 1] = {};
    TempDir temp_;
    std::string setup_;
    menu::WindowsPlatform platform_{nullptr, [] {}};
};

TEST_F(StartMenuPlatform, StartsTheNamedProgramWithTheCommandLineShownNormally)
{
    ASSERT_TRUE(SetCurrentDirectoryA(temp_.file("folder").c_str()));
    EXPECT_EQ(platform_.StartProgram(setup_, "setup.exe"), menu::StartResult::Started);
    const std::optional<Record> record = WaitForRecord(setup_);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->commandLine, "setup.exe");
    EXPECT_EQ(record->directory, temp_.file("folder"));
    EXPECT_EQ(record->show, "1");
}

TEST_F(StartMenuPlatform, AMissingProgramFailsAndIsNoElevationCase)
{
    EXPECT_EQ(platform_.StartProgram(temp_.file("missing.exe"), "missing.exe"),
              menu::StartResult::Failed);
}

// What the start menu does after CreateProcess answers ERROR_ELEVATION_REQUIRED.
TEST_F(StartMenuPlatform, StartsAProgramThroughTheShellInTheFolderShownNormally)
{
    ASSERT_TRUE(SetCurrentDirectoryA(temp_.path().c_str()));
    ASSERT_TRUE(platform_.StartWithShell(setup_, "", temp_.file("folder") + "\\"));
    const std::optional<Record> record = WaitForRecord(setup_);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->commandLine.find(setup_), record->commandLine[0] == '"' ? 1u : 0u)
        << record->commandLine;
    EXPECT_EQ(record->directory, temp_.file("folder"));
    EXPECT_EQ(record->show, "1");
}

// COM answers S_FALSE to a thread that has it already, S_OK to one that has not.
TEST(StartMenuShell, COMIsUpForTheThreadFromTheFirstShellCallUntilThePlatformGoes)
{
    TempDir temp;
    const std::string setup = temp.file("setup.exe");
    ASSERT_TRUE(CopyFileA(RECORDER_EXE, setup.c_str(), FALSE));
    {
        menu::WindowsPlatform platform(nullptr, [] {});
        ASSERT_EQ(CoInitialize(nullptr), S_OK) << "COM was up before the first shell call";
        CoUninitialize();
        ASSERT_TRUE(platform.StartWithShell(setup, "", temp.path()));
        EXPECT_EQ(CoInitialize(nullptr), S_FALSE) << "COM is not up for the shell";
        CoUninitialize();
        ASSERT_TRUE(WaitForRecord(setup));
        ASSERT_TRUE(WaitForProgramToEnd(setup));
    }
    EXPECT_EQ(CoInitialize(nullptr), S_OK) << "COM stayed up after the platform went";
    CoUninitialize();
}

} // namespace
