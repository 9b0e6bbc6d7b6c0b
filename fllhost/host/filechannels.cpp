// File channels over real files (CreateFile / ReadFile / SetFilePointerEx).
#include "filechannels.h"

#include "winhandles.h"

namespace fllhost {

struct FileChannels::Channel {
    Channel(HANDLE h, std::string p, bool remove)
        : file(h), path(std::move(p)), removeOnClose(remove)
    {
    }
    FileHandle file;
    std::string path;
    bool removeOnClose;
};

FileChannels::FileChannels() = default;

FileChannels::~FileChannels()
{
    closeAll();
}

int FileChannels::open(const std::string& name, uint32_t mode, uint32_t flag)
{
    const bool create = (flag & kFlagCreate) != 0;
    DWORD access = GENERIC_READ;
    if (mode == kModeCreate || (mode & 3) == 2)
        access = GENERIC_READ | GENERIC_WRITE;
    else if ((mode & 3) == 1)
        access = GENERIC_WRITE;
    // Shared for deleting too, so a probe file another host made can still be
    // removed by its maker while this one has it open.
    HANDLE h =
        CreateFileA(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return -1;
    // Only a file this host made itself is removed again; a user's file stays.
    const bool madeHere = create && GetLastError() != ERROR_ALREADY_EXISTS;
    return add(std::make_shared<Channel>(h, name, madeHere && mode == kModeCreate));
}

int FileChannels::openShared(const std::string& name)
{
    HANDLE h = CreateFileA(name.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return -1;
    return add(std::make_shared<Channel>(h, name, false));
}

int FileChannels::add(std::shared_ptr<Channel> channel)
{
    std::lock_guard<std::mutex> lock(mutex_);
    int number = 1;
    while (channels_.count(number))
        ++number;
    channels_[number] = std::move(channel);
    return number;
}

std::shared_ptr<FileChannels::Channel> FileChannels::find(int channel) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = channels_.find(channel);
    return it == channels_.end() ? nullptr : it->second;
}

bool FileChannels::close(int channel)
{
    std::shared_ptr<Channel> c;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = channels_.find(channel);
        if (it == channels_.end())
            return false;
        c = std::move(it->second);
        channels_.erase(it);
    }
    const std::string path = c->path;
    const bool remove = c->removeOnClose;
    c.reset(); // the file is closed here, unless another thread still reads it
    if (remove)
        DeleteFileA(path.c_str());
    return true;
}

uint32_t FileChannels::read(int channel, void* buffer, uint32_t count)
{
    auto c = find(channel);
    DWORD got = 0;
    if (!c || !ReadFile(c->file.get(), buffer, count, &got, nullptr))
        return 0;
    return got;
}

bool FileChannels::seek(int channel, uint32_t offset)
{
    auto c = find(channel);
    LARGE_INTEGER to;
    to.QuadPart = offset;
    return c && SetFilePointerEx(c->file.get(), to, nullptr, FILE_BEGIN);
}

bool FileChannels::atEnd(int channel)
{
    auto c = find(channel);
    LARGE_INTEGER zero{}, at{}, size{};
    if (!c || !SetFilePointerEx(c->file.get(), zero, &at, FILE_CURRENT) ||
        !GetFileSizeEx(c->file.get(), &size))
        return true;
    return at.QuadPart >= size.QuadPart;
}

bool FileChannels::isOpen(int channel) const
{
    return find(channel) != nullptr;
}

int FileChannels::openCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(channels_.size());
}

void FileChannels::closeAll()
{
    std::vector<int> numbers;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& entry : channels_)
            numbers.push_back(entry.first);
    }
    for (int n : numbers)
        close(n);
}

} // namespace fllhost
