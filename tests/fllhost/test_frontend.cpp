// fllhost.exe as a user runs it: the function table listing, statements
// from the command line, scripts from files and standard input, exit
// statuses, and every example of the README with the output shown there.
#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <windows.h>

#include "testdir.h"

using testing_support::TempDir;

namespace {

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

struct Outcome {
    DWORD status = 0xFFFFFFFF;
    std::string output; // standard output and standard error, as they came
};

class Handle {
  public:
    explicit Handle(HANDLE h = nullptr) : h_(h) {}
    ~Handle()
    {
        if (h_ && h_ != INVALID_HANDLE_VALUE)
            CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }
    HANDLE* out() { return &h_; }
    void reset()
    {
        this->~Handle();
        h_ = nullptr;
    }

  private:
    HANDLE h_;
};

// This process's environment with TEMP and TMP set to `temp`, as a block.
std::string EnvironmentWithTemp(const std::string& temp)
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

// Runs fllhost.exe with the arguments; `input` becomes its standard input.
// With `temp`, the program's temporary folder is that one.
Outcome RunHost(const std::vector<std::string>& args, const std::string& input = "",
                const std::string& temp = "")
{
    TempDir dir;
    testing_support::WriteFile(dir.file("stdin"), input);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    Handle in(CreateFileA(dir.file("stdin").c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit,
                          OPEN_EXISTING, 0, nullptr));
    Handle read, write;
    Outcome o;
    if (!CreatePipe(read.out(), write.out(), &inherit, 0))
        return o;
    SetHandleInformation(read.get(), HANDLE_FLAG_INHERIT, 0);
    std::string line = quote(testing_support::Deliverable("fllhost.exe"));
    for (const std::string& a : args)
        line += " " + quote(a);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in.get();
    si.hStdOutput = write.get();
    si.hStdError = write.get();
    PROCESS_INFORMATION pi{};
    std::string environment = temp.empty() ? "" : EnvironmentWithTemp(temp);
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0,
                        temp.empty() ? nullptr : &environment[0], nullptr, &si, &pi))
        return o;
    Handle process(pi.hProcess), thread(pi.hThread);
    write.reset();
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(read.get(), buffer, sizeof buffer, &got, nullptr) && got)
        o.output.append(buffer, got);
    WaitForSingleObject(process.get(), INFINITE);
    GetExitCodeProcess(process.get(), &o.status);
    return o;
}

TEST(Exe, ListsTheFunctionTable)
{
    Outcome o = RunHost({"--list", testing_support::Deliverable("marvo32.fll")});
    EXPECT_EQ(o.status, 0u);
    std::vector<std::string> rows;
    std::istringstream lines(o.output);
    for (std::string row; std::getline(lines, row);)
        rows.push_back(row);
    ASSERT_EQ(rows.size(), 70u);
    EXPECT_EQ(rows[0], "M_ACTKEYB 1 \".C\"");
    EXPECT_EQ(rows[1], "M_DRIVES 0 \"\"");
    EXPECT_EQ(rows[11], "M_MKEYBID 2 \"I, I\"");
    EXPECT_EQ(rows[44], "M_SHFDEL 4 \"C,.?,C,I\"");
    EXPECT_EQ(rows[69], "M_INFO 1 \"I\"");
    // A name beside fllhost.exe is found without a path or extension.
    EXPECT_EQ(RunHost({"--list", "marvo32w9"}).output, o.output);
}

TEST(Exe, StatementsFromTheCommandLine)
{
    Outcome o = RunHost({"-e", "SET LIBRARY TO marvo32", "-e", "? M_STRCRC32(\"abc\")", "-e",
                         "x = 'a\\b'", "-e", "? x"});
    EXPECT_EQ(o.output, "891568578\na\\b\n");
    EXPECT_EQ(o.status, 0u);
}

TEST(Exe, ScriptsFromFilesAndStandardInput)
{
    TempDir dir;
    const std::string script = "SET LIBRARY TO marvo32\r\n? M_STRCRC16('abc')\r\n";
    testing_support::WriteFile(dir.file("s.prg"), script);
    EXPECT_EQ(RunHost({dir.file("s.prg")}).output, "38712\n");
    EXPECT_EQ(RunHost({"-"}, script).output, "38712\n");
    EXPECT_EQ(RunHost({"-e", "SET LIBRARY TO marvo32", "-"}, "? M_STRCRC16('')").output, "0\n");
}

struct Status {
    std::vector<std::string> args;
    DWORD status;
    const char* output;
};

TEST(Exe, ExitStatuses)
{
    const Status cases[] = {
        {{"-e", "? 1"}, 0, "1\n"},
        {{"-e", "SET LIBRARY TO marvo32", "-e", "? M_FCRC16('none')", "-e", "? 2"},
         1,
         "Error 104\n2\n"},
        {{"-e", "? 1", "-e", "? 1 +", "-e", "? 3"},
         2,
         "1\nSyntax error: value expected, found end of line\n"},
        {{"-e", "SET LIBRARY TO nothing-here.fll", "-e", "? 3"}, 2, nullptr},
        {{"--list", "nothing-here.fll"}, 2, nullptr},
        {{}, 2, "usage: fllhost [--list LIB] [-e STATEMENT]... [SCRIPT | -]\n"},
        {{"-x"}, 2, "usage: fllhost [--list LIB] [-e STATEMENT]... [SCRIPT | -]\n"},
        {{"no-such-script.prg"}, 2, "Error: cannot open no-such-script.prg\n"},
    };
    for (const Status& c : cases) {
        Outcome o = RunHost(c.args);
        EXPECT_EQ(o.status, c.status) << o.output;
        if (c.output)
            EXPECT_EQ(o.output, c.output);
        else
            EXPECT_EQ(o.output.substr(0, 20), "Error: cannot load n");
    }
}

// Every ```foxpro block of the README followed by its ```text block.
TEST(Exe, ReadmeExamples)
{
    const std::string readme = testing_support::ReadFile(std::string(SOURCE_DIR) + "\\README.md");
    const std::regex example("```foxpro\n([^`]*)```\n\n```text\n([^`]*)```");
    int seen = 0;
    for (std::sregex_iterator it(readme.begin(), readme.end(), example), end; it != end; ++it) {
        Outcome o = RunHost({"-"}, (*it)[1].str());
        EXPECT_EQ(o.output, (*it)[2].str()) << (*it)[1].str();
        ++seen;
    }
    EXPECT_GE(seen, 3);
}

TEST(Exe, TheDemoTourRuns)
{
    TempDir temp; // the tour makes and removes its files in the temporary folder
    Outcome o = RunHost({std::string(SOURCE_DIR) + "\\demo\\tour.prg"}, "", temp.path());
    EXPECT_EQ(o.status, 1u) << "the tour shows one raised error on purpose";
    EXPECT_NE(o.output.find("M_STRCRC32(\"123456789\") = 3421780262"), std::string::npos);
    EXPECT_NE(o.output.find("\nError 104\n"), std::string::npos);
}

} // namespace
