// File channels of the stand-in host: numbered handles over real files, as
// the library's FileOpen / FileRead / FileSeek / FileAtEnd / FileClose
// services use them. Safe to use from several threads; each channel is meant
// to be used by one thread at a time.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace fllhost {

class FileChannels {
  public:
    // FileOpen modes and flags the library asks for.
    static constexpr uint32_t kModeRead = 0;     // flag 0: an existing file, for reading
    static constexpr uint32_t kModeCreate = 128; // flag 1: create the file if missing
    static constexpr uint32_t kFlagCreate = 1;

    FileChannels();
    ~FileChannels();
    FileChannels(const FileChannels&) = delete;
    FileChannels& operator=(const FileChannels&) = delete;

    // A channel number (>= 1), or a negative number when the file cannot be
    // opened. Mode 128 with flag 1 creates a missing file; such a file is
    // removed again when its channel is closed. Any other mode with flag 0
    // opens an existing file for reading.
    int open(const std::string& name, uint32_t mode, uint32_t flag);
    // Opens a file for reading while others may write it (memo files).
    int openShared(const std::string& name);
    bool close(int channel);
    // Bytes read; 0 for a bad channel or a failed read.
    uint32_t read(int channel, void* buffer, uint32_t count);
    bool seek(int channel, uint32_t offset);
    // True at the end of the file, and for a bad channel (so loops end).
    bool atEnd(int channel);
    bool isOpen(int channel) const;
    int openCount() const;
    void closeAll();

  private:
    struct Channel;
    std::shared_ptr<Channel> find(int channel) const;
    int add(std::shared_ptr<Channel> channel);

    mutable std::mutex mutex_;
    std::map<int, std::shared_ptr<Channel>> channels_;
};

} // namespace fllhost
