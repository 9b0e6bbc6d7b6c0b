// The built-in functions of the script, one small function each, found by
// name in a table that also gives their argument counts.
#include "builtins.h"

#include <fstream>
#include <sstream>
#include <windows.h>

#include "values.h"

namespace fllhost::script {

namespace {

using Args = std::vector<Value>;

[[noreturn]] void badArgument(const char* fn)
{
    Fail(std::string(fn) + ": function argument value, type, or count is invalid");
}

const std::string& text(Args& args, size_t i, const char* fn)
{
    if (i >= args.size() || args[i].kind != Value::Kind::Character)
        badArgument(fn);
    return args[i].text;
}

int64_t whole(Args& args, size_t i, const char* fn)
{
    if (i >= args.size() || !IsNumeric(args[i]))
        badArgument(fn);
    return static_cast<int64_t>(NumberOf(args[i]));
}

bool fileExists(const std::string& path)
{
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> words(const std::string& text)
{
    std::vector<std::string> out;
    std::string word;
    for (char c : text + " ") {
        if (c == ' ' || c == ',' || c == '\t') {
            if (!word.empty())
                out.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    return out;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string toHex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// Pairs of hexadecimal digits; anything else is skipped, as FoxPro does.
std::string fromHex(const std::string& text)
{
    std::string out;
    int high = -1;
    for (char c : text) {
        const int v = hexValue(c);
        if (v < 0)
            continue;
        if (high < 0) {
            high = v;
        } else {
            out += static_cast<char>(high * 16 + v);
            high = -1;
        }
    }
    return out;
}

// MAKETABLE's order argument: "", "natural", "shuffled [seed]" or record numbers.
bool applyOrder(WorkAreas& areas, int area, const std::string& spec)
{
    std::vector<std::string> w = words(spec);
    if (w.empty() || Variables::normalize(w[0]) == "NATURAL")
        return w.size() <= 1;
    if (Variables::normalize(w[0]) == "SHUFFLED")
        return w.size() <= 2 && areas.shuffle(area, w.size() == 2 ? std::stoul(w[1]) : 1u);
    std::vector<int> order;
    for (const std::string& n : w) {
        if (n.find_first_not_of("0123456789") != std::string::npos)
            return false;
        order.push_back(std::stoi(n));
    }
    return areas.setOrder(area, order);
}

int areaArg(BuiltinContext& c, Args& a, const char* fn)
{
    return a.empty() ? c.area : static_cast<int>(whole(a, 0, fn));
}

Value Len(BuiltinContext&, Args& a)
{
    return Value::Int(static_cast<int32_t>(text(a, 0, "LEN").size()));
}

Value Chr(BuiltinContext&, Args& a)
{
    const int64_t c = whole(a, 0, "CHR");
    if (c < 0 || c > 255)
        badArgument("CHR");
    return Value::Text(std::string(1, static_cast<char>(c)));
}

Value StrConv(BuiltinContext&, Args& a)
{
    const std::string& bytes = text(a, 0, "STRCONV");
    const int64_t how = whole(a, 1, "STRCONV");
    if (how != 15 && how != 16)
        Fail("STRCONV: only 15 (bytes to hexadecimal) and 16 (back) are known");
    return Value::Text(how == 15 ? toHex(bytes) : fromHex(bytes));
}

Value FileToStr(BuiltinContext&, Args& a)
{
    const std::string& name = text(a, 0, "FILETOSTR");
    std::ifstream in(name, std::ios::binary);
    if (!in)
        Fail("File '" + name + "' does not exist");
    std::ostringstream all;
    all << in.rdbuf();
    return Value::Text(all.str());
}

Value StrToFile(BuiltinContext&, Args& a)
{
    const std::string& bytes = text(a, 0, "STRTOFILE");
    const std::string& name = text(a, 1, "STRTOFILE");
    const bool additive = a.size() == 3 && ((a[2].kind == Value::Kind::Logical && a[2].logical) ||
                                            (IsNumeric(a[2]) && NumberOf(a[2]) != 0));
    std::ofstream f(name, additive ? std::ios::binary | std::ios::app : std::ios::binary);
    if (!f || !f.write(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        Fail("Cannot write the file '" + name + "'");
    return Value::Int(static_cast<int32_t>(bytes.size()));
}

Value File(BuiltinContext&, Args& a)
{
    return Value::Bool(fileExists(text(a, 0, "FILE")));
}

Value GetEnv(BuiltinContext&, Args& a)
{
    char value[32768] = "";
    const DWORD n = GetEnvironmentVariableA(text(a, 0, "GETENV").c_str(), value, sizeof value);
    return Value::Text(n < sizeof value ? std::string(value, n) : std::string());
}

// Opens a table and selects its work area, on the first record in index order.
Value MakeTable(BuiltinContext& c, Args& a)
{
    WorkAreas& areas = c.host.workAreas();
    const int area = static_cast<int>(whole(a, 0, "MAKETABLE"));
    const int records = static_cast<int>(whole(a, 1, "MAKETABLE"));
    const std::string order = a.size() > 2 ? text(a, 2, "MAKETABLE") : "";
    const std::string fields = a.size() > 3 ? text(a, 3, "MAKETABLE") : "NOTES";
    if (!areas.create(area, records, words(fields)) || !applyOrder(areas, area, order))
        badArgument("MAKETABLE");
    areas.goFirst(area);
    c.area = area;
    return Value::Bool(true);
}

Value RecNo(BuiltinContext& c, Args& a)
{
    return Value::Int(c.host.workAreas().recordNumber(areaArg(c, a, "RECNO")));
}

Value RecCount(BuiltinContext& c, Args& a)
{
    return Value::Int(c.host.workAreas().recordCount(areaArg(c, a, "RECCOUNT")));
}

Value Eof(BuiltinContext& c, Args& a)
{
    return Value::Bool(c.host.workAreas().positionStatus(areaArg(c, a, "EOF")) & abi::kAtEnd);
}

Value Bof(BuiltinContext& c, Args& a)
{
    return Value::Bool(c.host.workAreas().positionStatus(areaArg(c, a, "BOF")) & abi::kAtBeginning);
}

Value Select(BuiltinContext& c, Args&)
{
    return Value::Int(c.area);
}

struct Builtin {
    const char* name;
    size_t least;
    size_t most;
    Value (*run)(BuiltinContext&, Args&);
};

constexpr Builtin kBuiltins[] = {
    {"LEN", 1, 1, Len},
    {"CHR", 1, 1, Chr},
    {"STRCONV", 2, 2, StrConv},
    {"FILETOSTR", 1, 1, FileToStr},
    {"STRTOFILE", 2, 3, StrToFile},
    {"FILE", 1, 1, File},
    {"GETENV", 1, 1, GetEnv},
    {"MAKETABLE", 2, 4, MakeTable},
    {"RECNO", 0, 1, RecNo},
    {"RECCOUNT", 0, 1, RecCount},
    {"EOF", 0, 1, Eof},
    {"BOF", 0, 1, Bof},
    {"SELECT", 0, 0, Select},
};

} // namespace

bool CallBuiltin(const std::string& name, std::vector<Value>& args, BuiltinContext& context,
                 Value& out)
{
    for (const Builtin& b : kBuiltins)
        if (name == b.name) {
            if (args.size() < b.least || args.size() > b.most)
                badArgument(b.name);
            out = b.run(context, args);
            return true;
        }
    return false;
}

} // namespace fllhost::script
