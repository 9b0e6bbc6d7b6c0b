// The drive tests' shared helpers: mapped drives, long-path file helpers,
// and the fixture.
#include "drivetest.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "testdir.h"

namespace drivetest {
namespace {

const char kMappedLetters[] = "abmnr";

std::wstring Wide(const std::string& path)
{
    std::wstring out = L"\\\\?\\";
    for (char c : path)
        out += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return out;
}

std::string Narrow(const wchar_t* name)
{
    std::string out;
    for (; *name; ++name)
        out += static_cast<char>(*name);
    return out;
}

} // namespace

std::string MappedFolder(char letter)
{
    const char* root = std::getenv("DRIVES_ROOT");
    if (!root || !*root)
        return std::string();
    return std::string(root) + "\\" + static_cast<char>(std::tolower(letter));
}

std::string PrefixLetters()
{
    const char* letters = std::getenv("DRIVES_LETTERS");
    return letters ? letters : "";
}

void MakeFolder(const std::string& path)
{
    ASSERT_TRUE(CreateDirectoryW(Wide(path).c_str(), nullptr)) << path;
}

void MakeFile(const std::string& path, const std::string& bytes)
{
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    ASSERT_EQ(written, bytes.size());
}

std::string FileText(const std::string& path)
{
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string text(1 << 16, '\0');
    DWORD read = 0;
    ReadFile(h, &text[0], static_cast<DWORD>(text.size()), &read, nullptr);
    CloseHandle(h);
    text.resize(read);
    return text;
}

bool Exists(const std::string& path)
{
    return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void SetAttributes(const std::string& path, uint32_t attributes)
{
    ASSERT_TRUE(SetFileAttributesW(Wide(path).c_str(), attributes)) << path;
}

std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(Wide(folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = Narrow(found.cFileName);
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

void EmptyFolder(const std::string& folder)
{
    for (const std::string& name : Names(folder)) {
        const std::string path = folder + "\\" + name;
        const std::wstring wide = Wide(path);
        const DWORD attributes = GetFileAttributesW(wide.c_str());
        SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            EmptyFolder(path);
            RemoveDirectoryW(wide.c_str());
        } else {
            DeleteFileW(wide.c_str());
        }
    }
}

void DriveTest::SetUp()
{
    if (MappedFolder('a').empty())
        GTEST_SKIP() << "drives are mapped by drive-prefix.sh; run through CTest";
    for (const char* l = kMappedLetters; *l; ++l)
        EmptyFolder(std::string(1, *l) + ":");
    std::string error;
    ASSERT_TRUE(host.load(testing_support::Deliverable("marvo32.fll"), &error)) << error;
}

void DriveTest::TearDown()
{
    if (MappedFolder('a').empty())
        return;
    for (const char* l = kMappedLetters; *l; ++l)
        EmptyFolder(std::string(1, *l) + ":");
}

fllhost::CallResult DriveTest::call(const std::string& name, const std::string& drive)
{
    return host.call(name, {fllhost::Value::Text(drive)});
}

double DriveTest::number(const std::string& name, const std::string& drive)
{
    const fllhost::CallResult r = call(name, drive);
    EXPECT_FALSE(r.failed()) << name << "(" << drive << ")";
    EXPECT_EQ(r.value.kind, fllhost::Value::Kind::Number) << name;
    return r.value.number;
}

int32_t DriveTest::integer(const std::string& name, const std::string& drive)
{
    const fllhost::CallResult r = call(name, drive);
    EXPECT_FALSE(r.failed()) << name << "(" << drive << ")";
    EXPECT_EQ(r.value.kind, fllhost::Value::Kind::Integer) << name;
    return r.value.integer;
}

} // namespace drivetest
