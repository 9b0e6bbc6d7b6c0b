// What the drive tests share: the drives that drive-prefix.sh maps for each
// run, file helpers that take paths of any length, and a fixture that loads
// the library into the stand-in host.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/host.h"

namespace drivetest {

// The folder behind a mapped drive letter, as a Windows path through Z:
// (empty when the program runs outside drive-prefix.sh).
std::string MappedFolder(char letter);
// The drive letters of the prefix, lower case.
std::string PrefixLetters();

// Files and folders by Windows path of any length (wide calls, \\?\ paths).
void MakeFolder(const std::string& path);
void MakeFile(const std::string& path, const std::string& bytes = "data");
std::string FileText(const std::string& path);
bool Exists(const std::string& path);
void SetAttributes(const std::string& path, uint32_t attributes);
// The names in a folder, "." and ".." left out, sorted.
std::vector<std::string> Names(const std::string& folder);
// Removes everything below a folder, whatever its attributes.
void EmptyFolder(const std::string& folder);

// The library in the stand-in host, with drives A: B: M: N: R: mapped and
// emptied before and after each test. Skips where the drives are not mapped.
class DriveTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    fllhost::CallResult call(const std::string& name, const std::string& drive);
    // The number a space function or M_DSERIAL returns for the drive.
    double number(const std::string& name, const std::string& drive);
    int32_t integer(const std::string& name, const std::string& drive);

    fllhost::Host host;
};

} // namespace drivetest
