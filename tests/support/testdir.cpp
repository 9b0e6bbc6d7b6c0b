// Temporary folders for tests: under the Wine prefix's own temp folder,
// removed recursively afterwards.
#include "testdir.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testing_support {
namespace {

void removeTree(const std::string& dir)
{
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = dir + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(find, &fd));
        FindClose(find);
    }
    RemoveDirectoryA(dir.c_str());
}

} // namespace

TempDir::TempDir()
{
    static std::atomic<unsigned> serial{0};
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    // Process numbers come round again in a prefix kept between runs; a
    // folder an earlier run left behind is passed over, never reused.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::ostringstream name;
        name << base << "marvo-test-" << GetCurrentProcessId() << "-" << serial++;
        path_ = name.str();
        if (CreateDirectoryA(path_.c_str(), nullptr))
            return;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    throw std::runtime_error("cannot create " + path_);
}

TempDir::~TempDir()
{
    removeTree(path_);
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// MARVO_OUT_DIR points the suites at another folder of deliverables: the
// compatibility runs (tools/compat) put the build for Windows 95/98 there
// under the name marvo32.fll.
std::string Deliverable(const std::string& name)
{
    const char* other = std::getenv("MARVO_OUT_DIR");
    return std::string(other && *other ? other : OUT_DIR) + "\\" + name;
}

} // namespace testing_support
