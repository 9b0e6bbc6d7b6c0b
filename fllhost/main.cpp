// fllhost: the command line of the stand-in FoxPro host.
//
//   fllhost [--list LIB] [-e STATEMENT]... [SCRIPT | -]
//
// --list loads LIB and prints its function table; each -e runs one
// statement; SCRIPT (or standard input for "-") is run line by line.
// Exit status: 2 after a syntax error or a library that cannot be loaded,
// else 1 when any statement raised an error, else 0; 3 when the library
// broke the host's rules (Host::kFaultStatus), which stops the host at once.
#include <fcntl.h>
#include <fstream>
#include <io.h>
#include <iostream>
#include <windows.h>

#include "script/script.h"

namespace {

constexpr char kUsage[] = "usage: fllhost [--list LIB] [-e STATEMENT]... [SCRIPT | -]\n";

struct Options {
    std::string list;
    std::vector<std::string> statements;
    std::string script;
    bool ok = true;
};

Options parse(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if ((a == "--list" || a == "-e") && i + 1 < argc)
            (a == "--list" ? o.list : (o.statements.emplace_back(), o.statements.back())) =
                argv[++i];
        else if (o.script.empty() && (a == "-" || a[0] != '-'))
            o.script = a;
        else
            o.ok = false;
    }
    o.ok = o.ok && (!o.list.empty() || !o.statements.empty() || !o.script.empty());
    return o;
}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string programFolder()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    return folderOf(path);
}

void listTable(fllhost::Host& host)
{
    for (const auto& f : host.functions())
        std::cout << f.name << " " << f.count << " \"" << f.types << "\"\n";
}

bool runScript(fllhost::script::Interpreter& run, const std::string& script)
{
    if (script == "-")
        return run.runProgram(std::cin);
    std::ifstream in(script, std::ios::binary);
    if (!in) {
        std::cerr << "Error: cannot open " << script << "\n";
        return false;
    }
    return run.runProgram(in);
}

} // namespace

int main(int argc, char** argv)
{
    // Bytes go out as they are: no CR added before LF.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
    const Options o = parse(argc, argv);
    if (!o.ok) {
        std::cerr << kUsage;
        return fllhost::script::Interpreter::kStopped;
    }
    fllhost::script::Interpreter run(std::cout, std::cerr);
    run.addLibraryFolder(folderOf(o.script));
    run.addLibraryFolder(programFolder());
    if (!o.list.empty()) {
        if (!run.setLibrary(o.list))
            return run.status();
        listTable(run.host());
    }
    bool going = true;
    for (const std::string& s : o.statements)
        if (going)
            going = run.run(s);
    if (going && !o.script.empty() && !runScript(run, o.script)) {
        run.finish();
        run.quit();
        return fllhost::script::Interpreter::kStopped;
    }
    run.finish();
    run.quit();
    return run.status();
}
