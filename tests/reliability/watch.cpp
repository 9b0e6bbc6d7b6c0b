// Listings of folders outside the sandbox, through FindFirstFile.
#include "watch.h"

#include <windows.h>

#include <algorithm>

namespace reliability {
namespace {

bool IsDots(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

std::string Entry(const WIN32_FIND_DATAA& fd, bool namesOnly)
{
    std::string e = fd.cFileName;
    if (!namesOnly && !(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        e += "|" + std::to_string(fd.nFileSizeLow) + "|" + std::to_string(fd.nFileSizeHigh);
        e += "|" + std::to_string(fd.ftLastWriteTime.dwLowDateTime);
    }
    return e;
}

std::string Listing(const WatchedFolder& folder)
{
    std::vector<std::string> entries;
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((folder.path + "\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE)
        return "(cannot be listed)";
    do {
        if (!IsDots(fd.cFileName))
            entries.push_back(Entry(fd, folder.namesOnly));
    } while (FindNextFileA(find, &fd));
    FindClose(find);
    std::sort(entries.begin(), entries.end());
    std::string all;
    for (const std::string& e : entries)
        all += e + "\n";
    return all;
}

// The first line of a that b lacks, or the other way round.
std::string Difference(const std::string& a, const std::string& b)
{
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i])
        ++i;
    const size_t lineStart = a.rfind('\n', i ? i - 1 : 0);
    const size_t from = lineStart == std::string::npos || i == 0 ? 0 : lineStart + 1;
    return "was \"" + a.substr(from, a.find('\n', from) - from) + "\", now \"" +
           b.substr(from, b.find('\n', from) - from) + "\"";
}

void Digest(const std::string& dir, TreeSummary& s)
{
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (IsDots(fd.cFileName))
            continue;
        ++s.entries;
        for (const char* p = fd.cFileName; *p; ++p)
            s.digest = (s.digest ^ static_cast<uint8_t>(*p)) * 0x100000001B3ull;
        s.digest = (s.digest ^ fd.nFileSizeLow) * 0x100000001B3ull;
        s.digest = (s.digest ^ fd.ftLastWriteTime.dwLowDateTime) * 0x100000001B3ull;
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            Digest(dir + "\\" + fd.cFileName, s);
    } while (FindNextFileA(find, &fd));
    FindClose(find);
}

} // namespace

Watch::Watch(std::vector<WatchedFolder> folders) : folders_(std::move(folders))
{
    rebase();
}

void Watch::rebase()
{
    listings_ = listAll();
}

std::vector<std::string> Watch::listAll() const
{
    std::vector<std::string> all;
    for (const WatchedFolder& f : folders_)
        all.push_back(Listing(f));
    return all;
}

std::string Watch::changed() const
{
    for (size_t i = 0; i < folders_.size(); ++i) {
        const std::string now = Listing(folders_[i]);
        if (now != listings_[i])
            return folders_[i].path + ": " + Difference(listings_[i], now);
    }
    return "";
}

TreeSummary SummariseTree(const std::string& root)
{
    TreeSummary s;
    Digest(root, s);
    return s;
}

} // namespace reliability
