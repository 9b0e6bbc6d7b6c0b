// fllhost.exe as a user runs it: the function table listing, statements
// from the command line, scripts from files and standard input, exit
// statuses, and every example of the README with the output shown there.
#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <windows.h>

#include "runhost.h"
#include "testdir.h"

using testing_support::TempDir;

namespace {

using Outcome = testing_support::HostRun;

// fllhost.exe with the arguments; `input` becomes its standard input. With
// `temp`, the program's temporary folder is that one.
Outcome RunHost(const std::vector<std::string>& args, const std::string& input = "",
                const std::string& temp = "")
{
    return testing_support::RunFllhost(args, input, temp);
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
