// The developer's reference (docs/reference/*.md) and the FoxPro header
// (include/marvo32.h) against the library they describe: every example runs
// through fllhost.exe and prints what its page shows, every function of the
// table has its section, and the header is valid #DEFINE lines with the
// values Windows and the library use.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <cstring>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <vector>

#include "runhost.h"
#include "testdir.h"

using testing_support::TempDir;

namespace {

const char* const kPages[] = {"README",   "checksums", "encryption", "drives",
                              "diskette", "keyboard",  "session",    "shell",
                              "adapters", "indexpos",  "banner"};

// The examples that would end the Windows session are shown, not run.
const std::set<std::string> kNotRun = {"M_LOGOFF", "M_LOGOFFX", "M_DOWN",   "M_DOWNX",
                                       "M_REBOOT", "M_REBOOTX", "M_PWROFF", "M_PWROFFX"};

const std::string kAnything = "\xe2\x80\xa6"; // "…" in an output block: any text within a line

std::string Page(const std::string& name)
{
    return testing_support::ReadFile(std::string(SOURCE_DIR) + "\\docs\\reference\\" + name +
                                     ".md");
}

std::wstring Wide(const std::string& text, UINT codePage, DWORD flags = 0)
{
    const int n = MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0);
    std::wstring wide(n, L'\0');
    if (n)
        MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), &wide[0],
                            n);
    return wide;
}

std::string Narrow(const std::wstring& wide, UINT codePage)
{
    const int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string text(n, '\0');
    if (n)
        WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), &text[0], n,
                            nullptr, nullptr);
    return text;
}

bool IsUtf8(const std::string& text)
{
    return text.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                               static_cast<int>(text.size()), nullptr, 0) > 0;
}

// The host's output holds the library's messages in code page 1250 and the
// host's own drawing in UTF-8; each line is read in the one it is written in.
std::string OutputAsUtf8(const std::string& output)
{
    std::string result;
    std::istringstream lines(output);
    std::string line;
    bool first = true;
    while (std::getline(lines, line)) {
        result += (first ? "" : "\n") + (IsUtf8(line) ? line : Narrow(Wide(line, 1250), CP_UTF8));
        first = false;
    }
    if (!output.empty() && output.back() == '\n')
        result += "\n";
    return result;
}

struct Example {
    std::string page;
    std::string script; // UTF-8, as on the page
    std::string output; // UTF-8, as on the page
};

const std::regex kExample("```foxpro\n([^`]*)```\n\n```output\n([^`]*)```");

std::vector<Example> Examples(const std::string& page)
{
    const std::string text = Page(page);
    std::vector<Example> found;
    for (std::sregex_iterator it(text.begin(), text.end(), kExample), end; it != end; ++it)
        found.push_back({page, (*it)[1].str(), (*it)[2].str()});
    return found;
}

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The shown output as a pattern: itself, with "…" standing for any text
// within one line.
bool OutputMatches(const std::string& shown, const std::string& got)
{
    std::string pattern;
    for (size_t i = 0; i < shown.size();) {
        if (shown.compare(i, kAnything.size(), kAnything) == 0) {
            pattern += "[^\\n]*";
            i += kAnything.size();
            continue;
        }
        if (std::string("\\^$.|?*+()[]{}").find(shown[i]) != std::string::npos)
            pattern += '\\';
        pattern += shown[i++];
    }
    return std::regex_match(got, std::regex(pattern));
}

using Outcome = testing_support::HostRun;

// fllhost.exe with the arguments, `input` as its standard input, `temp` as
// its temporary folder, and the header's folder as its current one, where
// #INCLUDE marvo32.h finds it.
Outcome RunHost(const std::vector<std::string>& args, const std::string& input,
                const std::string& temp)
{
    return testing_support::RunFllhost(args, input, temp, std::string(SOURCE_DIR) + "\\include");
}

bool FolderIsEmpty(const std::string& folder)
{
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE)
        return true;
    bool empty = true;
    do {
        const std::string name = fd.cFileName;
        empty = empty && (name == "." || name == "..");
    } while (FindNextFileA(find, &fd));
    FindClose(find);
    return empty;
}

// The names of the library's function table, as the host lists them.
std::vector<std::string> TableNames()
{
    TempDir temp;
    Outcome o = RunHost({"--list", testing_support::Deliverable("marvo32.fll")}, "", temp.path());
    std::vector<std::string> names;
    std::istringstream lines(o.output);
    for (std::string row; std::getline(lines, row);)
        names.push_back(row.substr(0, row.find(' ')));
    return names;
}

class PageExamples : public testing::TestWithParam<const char*> {};

TEST_P(PageExamples, PrintWhatThePageShows)
{
    const std::string page = GetParam();
    const std::vector<Example> examples = Examples(page);
    // An example that does not have the form is not run: none may be lost.
    EXPECT_EQ(examples.size(), Count(Page(page), "```foxpro"));
    for (const Example& e : examples) {
        TempDir temp;
        const Outcome o = RunHost({"-"}, Narrow(Wide(e.script, CP_UTF8), 1250), temp.path());
        ASSERT_TRUE(o.started);
        const std::string got = OutputAsUtf8(o.output);
        EXPECT_TRUE(OutputMatches(e.output, got)) << page << ".md:\n"
                                                  << e.script << "shows:\n"
                                                  << e.output << "prints:\n"
                                                  << got;
        EXPECT_TRUE(FolderIsEmpty(temp.path())) << "left files behind:\n" << e.script;
    }
}

INSTANTIATE_TEST_SUITE_P(Reference, PageExamples, testing::ValuesIn(kPages),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });

TEST(Reference, OutputPatterns)
{
    EXPECT_TRUE(OutputMatches("a\n", "a\n"));
    EXPECT_FALSE(OutputMatches("a\n", "a\nb\n"));
    EXPECT_TRUE(OutputMatches("x " + kAnything + " y\n", "x 1.5 (2) y\n"));
    EXPECT_TRUE(OutputMatches(kAnything + "\n", "\n"));
    EXPECT_FALSE(OutputMatches(kAnything + "\n", "1\n2\n"));
    EXPECT_FALSE(OutputMatches("1.5\n", "125\n"));
    EXPECT_EQ(OutputAsUtf8("\xc8\xedslo chyby 57.\n\xe2\x95\x91\n"),
              "\xc4\x8c\xc3\xadslo chyby 57.\n\xe2\x95\x91\n");
}

// Every row of the function table (M_DRVSPACE included) has its section on
// exactly one page, and an example that uses it.
TEST(Reference, EveryFunctionHasASectionAndAnExample)
{
    const std::vector<std::string> names = TableNames();
    ASSERT_EQ(names.size(), 70u);
    std::map<std::string, int> sections;
    std::string scripts;
    std::string shownOnly;
    const std::regex heading("\n#{2,3} (M_[A-Z0-9]+)\n");
    const std::regex prg("```prg\n([^`]*)```");
    for (const char* page : kPages) {
        const std::string text = Page(page);
        for (std::sregex_iterator it(text.begin(), text.end(), heading), end; it != end; ++it)
            ++sections[(*it)[1].str()];
        for (const Example& e : Examples(page))
            scripts += e.script;
        for (std::sregex_iterator it(text.begin(), text.end(), prg), end; it != end; ++it)
            shownOnly += (*it)[1].str();
    }
    for (const std::string& name : names) {
        EXPECT_EQ(sections[name], 1) << name;
        const std::string used = name + "(";
        if (kNotRun.count(name))
            EXPECT_NE(shownOnly.find(used), std::string::npos) << name;
        else
            EXPECT_NE(scripts.find(used), std::string::npos) << name;
    }
    EXPECT_EQ(sections.size(), 70u) << "a section for a function the table does not have";
}

// --- The header.

std::map<std::string, long> HeaderDefines()
{
    const std::string text =
        testing_support::ReadFile(std::string(SOURCE_DIR) + "\\include\\marvo32.h");
    const std::regex define("#DEFINE ([A-Z][A-Z0-9_]*) (-?[0-9]+)");
    std::map<std::string, long> defines;
    std::istringstream lines(text);
    int number = 0;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        std::smatch m;
        if (line.empty() || line[0] == '*')
            continue;
        if (!std::regex_match(line, m, define)) {
            ADD_FAILURE() << "line " << number << " is neither a #DEFINE nor a comment: " << line;
            continue;
        }
        EXPECT_EQ(defines.count(m[1].str()), 0u) << m[1].str() << " defined twice";
        defines[m[1].str()] = std::stol(m[2].str());
    }
    return defines;
}

struct Known {
    const char* name;
    long value;
};

// The values Windows' own headers give these names.
const Known kWindowsValues[] = {
    {"FOF_MULTIDESTFILES", FOF_MULTIDESTFILES},
    {"FOF_CONFIRMMOUSE", FOF_CONFIRMMOUSE},
    {"FOF_SILENT", FOF_SILENT},
    {"FOF_RENAMEONCOLLISION", FOF_RENAMEONCOLLISION},
    {"FOF_NOCONFIRMATION", FOF_NOCONFIRMATION},
    {"FOF_WANTMAPPINGHANDLE", FOF_WANTMAPPINGHANDLE},
    {"FOF_ALLOWUNDO", FOF_ALLOWUNDO},
    {"FOF_FILESONLY", FOF_FILESONLY},
    {"FOF_SIMPLEPROGRESS", FOF_SIMPLEPROGRESS},
    {"FOF_NOCONFIRMMKDIR", FOF_NOCONFIRMMKDIR},
    {"FOF_NOERRORUI", FOF_NOERRORUI},
    {"FOF_NOCOPYSECURITYATTRIBS", FOF_NOCOPYSECURITYATTRIBS},
    {"FOF_NORECURSION", FOF_NORECURSION},
    {"FOF_NO_CONNECTED_ELEMENTS", FOF_NO_CONNECTED_ELEMENTS},
    {"FOF_WANTNUKEWARNING", FOF_WANTNUKEWARNING},
    {"VK_CONTROL", VK_CONTROL},
    {"VK_MENU", VK_MENU},
    {"VK_LSHIFT", VK_LSHIFT},
    {"VK_RSHIFT", VK_RSHIFT},
    {"VK_SCROLL", VK_SCROLL},
    {"VK_ESCAPE", VK_ESCAPE},
    {"VK_BACK", VK_BACK},
    {"VK_TAB", VK_TAB},
    {"VK_RETURN", VK_RETURN},
    {"VK_SHIFT", VK_SHIFT},
    {"VK_SPACE", VK_SPACE},
    {"VK_LEFT", VK_LEFT},
    {"VK_DELETE", VK_DELETE},
    {"VK_F1", VK_F1},
    {"VK_F12", VK_F12},
    {"VK_LCONTROL", VK_LCONTROL},
    {"VK_RMENU", VK_RMENU},
    {"DRIVE_UNKNOWN", DRIVE_UNKNOWN},
    {"DRIVE_NO_ROOT_DIR", DRIVE_NO_ROOT_DIR},
    {"DRIVE_REMOVABLE", DRIVE_REMOVABLE},
    {"DRIVE_FIXED", DRIVE_FIXED},
    {"DRIVE_REMOTE", DRIVE_REMOTE},
    {"DRIVE_CDROM", DRIVE_CDROM},
    {"DRIVE_RAMDISK", DRIVE_RAMDISK},
    {"ERROR_FILE_NOT_FOUND", ERROR_FILE_NOT_FOUND},
    {"ERROR_ACCESS_DENIED", ERROR_ACCESS_DENIED},
    {"ERROR_NOT_ENOUGH_MEMORY", ERROR_NOT_ENOUGH_MEMORY},
    {"ERROR_INVALID_DRIVE", ERROR_INVALID_DRIVE},
    {"ERROR_WRITE_PROTECT", ERROR_WRITE_PROTECT},
    {"ERROR_NOT_READY", ERROR_NOT_READY},
    {"ERROR_NOT_SUPPORTED", ERROR_NOT_SUPPORTED},
};

TEST(Header, IsDefinesAndCommentsWithWindowsValues)
{
    const std::map<std::string, long> defines = HeaderDefines();
    for (const Known& k : kWindowsValues) {
        ASSERT_EQ(defines.count(k.name), 1u) << k.name;
        EXPECT_EQ(defines.at(k.name), k.value) << k.name;
    }
}

TEST(Header, NamesEveryDriveTypeAndItsFailedFileTest)
{
    const std::map<std::string, long> defines = HeaderDefines();
    for (const char* type : {"UNKNOWN", "REMOVABLE", "FIXED", "REMOTE", "CDROM", "RAMDISK"}) {
        const std::string name = std::string("DRIVE_") + type;
        ASSERT_EQ(defines.count(name + "_NOFILE"), 1u) << name;
        EXPECT_EQ(defines.at(name + "_NOFILE"), defines.at(name) + 100) << name;
    }
}

// Every host error number the library can raise has its name.
TEST(Header, NamesEveryHostErrorTheLibraryRaises)
{
    const std::string services =
        testing_support::ReadFile(std::string(SOURCE_DIR) + "\\extlib\\host\\services.h");
    std::set<long> named;
    for (const auto& [name, value] : HeaderDefines())
        if (name.rfind("MARVO_ERR_", 0) == 0)
            named.insert(value);
    const std::regex error(R"(kErr[A-Za-z]+ = ([0-9]+),)");
    std::set<long> raised;
    for (std::sregex_iterator it(services.begin(), services.end(), error), end; it != end; ++it)
        raised.insert(std::stol((*it)[1].str()));
    EXPECT_EQ(raised, (std::set<long>{104, 107, 182, 302, 907, 1104}));
    EXPECT_EQ(named, raised);
}

} // namespace
