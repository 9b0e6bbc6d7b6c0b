// fllhost.exe as a child process with its output caught through a pipe.
#include "runhost.h"

#include <windows.h>

#include <cstring>

#include "testdir.h"

namespace testing_support {
namespace {

class Handle {
  public:
    explicit Handle(HANDLE h = nullptr) : h_(h) {}
    ~Handle() { reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }
    HANDLE* out() { return &h_; }
    void reset()
    {
        if (h_ && h_ != INVALID_HANDLE_VALUE)
            CloseHandle(h_);
        h_ = nullptr;
    }

  private:
    HANDLE h_;
};

// This process's environment with TEMP and TMP set to `temp`, as a block.
std::string environmentWithTemp(const std::string& temp)
{
    std::string block;
    char* all = GetEnvironmentStringsA();
    for (const char* p = all; *p; p += std::strlen(p) + 1) {
        const std::string entry = p;
        const std::string name = entry.substr(0, entry.find('='));
        if (_stricmp(name.c_str(), "TEMP") != 0 && _stricmp(name.c_str(), "TMP") != 0)
            block += entry + '\0';
    }
    FreeEnvironmentStringsA(all);
    return block + "TEMP=" + temp + '\0' + "TMP=" + temp + '\0' + '\0';
}

// One argument quoted as the C runtime splits command lines.
std::string quote(const std::string& arg)
{
    std::string out = "\"";
    size_t slashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        out += std::string(c == '"' ? slashes * 2 + 1 : slashes, '\\');
        slashes = 0;
        out += c;
    }
    return out + std::string(slashes * 2, '\\') + "\"";
}

// Reads what the process writes until it has ended and the pipe is empty.
// Not to the pipe's end: a process that fllhost's calls start (Wine starts
// its desktop process on the first layout switch) may inherit the pipe and
// hold it open long after fllhost has ended.
void readUntilEnded(HANDLE pipe, HANDLE process, std::string& output)
{
    for (bool ended = false;;) {
        DWORD waiting = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr))
            break;
        if (waiting == 0) {
            if (ended)
                break;
            ended = WaitForSingleObject(process, 10) == WAIT_OBJECT_0;
            continue;
        }
        std::string buffer(waiting, '\0');
        DWORD got = 0;
        if (!::ReadFile(pipe, &buffer[0], waiting, &got, nullptr))
            break;
        output.append(buffer, 0, got);
    }
}

} // namespace

HostRun RunFllhost(const std::vector<std::string>& args, const std::string& input,
                   const std::string& temp, const std::string& folder)
{
    TempDir dir;
    WriteFile(dir.file("stdin"), input);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    Handle in(CreateFileA(dir.file("stdin").c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit,
                          OPEN_EXISTING, 0, nullptr));
    Handle read, write;
    HostRun run;
    if (!CreatePipe(read.out(), write.out(), &inherit, 0))
        return run;
    SetHandleInformation(read.get(), HANDLE_FLAG_INHERIT, 0);
    std::string line = quote(Deliverable("fllhost.exe"));
    for (const std::string& a : args)
        line += " " + quote(a);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in.get();
    si.hStdOutput = write.get();
    si.hStdError = write.get();
    PROCESS_INFORMATION pi{};
    std::string environment = temp.empty() ? "" : environmentWithTemp(temp);
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0,
                        temp.empty() ? nullptr : &environment[0],
                        folder.empty() ? nullptr : folder.c_str(), &si, &pi))
        return run;
    run.started = true;
    Handle process(pi.hProcess), thread(pi.hThread);
    write.reset();
    readUntilEnded(read.get(), process.get(), run.output);
    WaitForSingleObject(process.get(), INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process.get(), &status);
    run.status = status;
    return run;
}

} // namespace testing_support
