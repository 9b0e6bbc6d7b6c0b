// Stand-in for the CD's setup programs and for the shell's handlers of e-mail
// and web targets in the window tests: records the command line it was
// started with, its current directory, the show command its starter asked
// for ("default" when none) and GetVersion's answer in hexadecimal (which
// Windows it thinks it runs on) into a file beside itself (its own name with
// .txt instead of .exe), then ends.
#include <windows.h>

#include <cstdio>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char self[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    char directory[MAX_PATH + 1] = {};
    GetCurrentDirectoryA(MAX_PATH, directory);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    const std::string show = startup.dwFlags & STARTF_USESHOWWINDOW
                                 ? std::to_string(startup.wShowWindow)
                                 : std::string("default");
    char version[16] = {};
    snprintf(version, sizeof version, "%08lx", GetVersion());
    const std::string record =
        std::string(GetCommandLineA()) + "\n" + directory + "\n" + show + "\n" + version + "\n";

    std::string log(self);
    log.replace(log.size() - 4, 4, ".txt");
    const std::string partial = log + ".part";
    HANDLE file = CreateFileA(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    WriteFile(file, record.data(), DWORD(record.size()), &written, nullptr);
    CloseHandle(file);
    // Renamed only when complete, so a reader never sees half a record.
    return MoveFileExA(partial.c_str(), log.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
