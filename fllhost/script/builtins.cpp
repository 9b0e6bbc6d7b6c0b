// The built-in functions of the script, one small function each, found by
// name in a table that also gives their argument counts.
#include "builtins.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <windows.h>

#include "host/winhandles.h"
#include "parser.h"
#include "texts.h"
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

// Truncated, as FoxPro takes a count; clamped first, as a double beyond
// int64_t's range has no conversion.
int64_t whole(Args& args, size_t i, const char* fn)
{
    if (i >= args.size() || !IsNumeric(args[i]) || std::isnan(NumberOf(args[i])))
        badArgument(fn);
    return static_cast<int64_t>(std::clamp(NumberOf(args[i]), -9e15, 9e15));
}

// An optional number, where FoxPro also takes -1 for one left out.
int64_t optional(Args& args, size_t i, const char* fn, int64_t otherwise)
{
    const int64_t n = i < args.size() ? whole(args, i, fn) : -1;
    return n == -1 ? otherwise : n;
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
bool applyOrder(WorkAreas& areas, int area, const std::string& text)
{
    std::vector<std::string> w = words(text);
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

Value BitTest(BuiltinContext&, Args& a)
{
    const int64_t bit = whole(a, 1, "BITTEST");
    if (bit < 0 || bit > 31)
        badArgument("BITTEST");
    const uint32_t bits = static_cast<uint32_t>(whole(a, 0, "BITTEST"));
    return Value::Bool((bits >> bit) & 1u);
}

std::string asText(const Value& v, const char* fn)
{
    if (v.kind == Value::Kind::Character)
        return v.text;
    if (!IsNumeric(v))
        badArgument(fn);
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.*f",
                  static_cast<int>(v.kind == Value::Kind::Number ? v.decimals : 0), NumberOf(v));
    return buffer;
}

// A picture of 9 or # digit places, commas that show only between digits,
// and a point before the decimal places; a number too wide for it gives
// asterisks, as FoxPro shows it.
std::string picture(double v, const std::string& pic)
{
    const size_t point = std::min(pic.find('.'), pic.size());
    const int places = static_cast<int>(
        std::count_if(pic.begin() + point, pic.end(), [](char c) { return c == '9' || c == '#'; }));
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.*f", places, std::fabs(v));
    const std::string digits(buffer);
    const size_t dot = std::min(digits.find('.'), digits.size());
    std::string whole = digits.substr(0, dot);
    const std::string fraction = dot < digits.size() ? digits.substr(dot + 1) : "";
    bool sign = v < 0 && std::stod(digits) != 0;
    std::string out(pic.size(), ' ');
    for (size_t i = point; i-- > 0;) {
        const char c = pic[i];
        if (c == '9' || c == '#') {
            if (!whole.empty()) {
                out[i] = whole.back();
                whole.pop_back();
            } else if (sign) {
                out[i] = '-';
                sign = false;
            }
        } else if (c == ',') {
            out[i] = whole.empty() ? ' ' : ',';
        } else {
            out[i] = c;
        }
    }
    if (!whole.empty() || sign)
        return std::string(pic.size(), '*');
    size_t next = 0;
    for (size_t i = point; i < pic.size(); ++i) {
        const char c = pic[i];
        out[i] = (c == '9' || c == '#') && next < fraction.size() ? fraction[next++] : c;
    }
    return out;
}

Value Transform(BuiltinContext&, Args& a)
{
    const Value& v = a[0];
    if (a.size() == 1 || (a[1].kind == Value::Kind::Character && a[1].text.empty())) {
        if (v.kind == Value::Kind::Character)
            return v;
        if (v.kind == Value::Kind::Logical)
            return Value::Text(v.logical ? ".T." : ".F.");
        return Value::Text(asText(v, "TRANSFORM"));
    }
    const std::string& format = text(a, 1, "TRANSFORM");
    if (!IsNumeric(v))
        Fail("TRANSFORM: a format is known for numbers only");
    if (format == "@0") {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08X",
                      static_cast<unsigned>(static_cast<int64_t>(NumberOf(v)) & 0xFFFFFFFF));
        return Value::Text(hex);
    }
    if (format.find_first_not_of("9#,.") != std::string::npos)
        Fail("TRANSFORM: only @0 and pictures of 9 # , . are known");
    return Value::Text(picture(NumberOf(v), format));
}

Value pad(Args& a, const char* fn, bool right)
{
    std::string s = asText(a[0], fn);
    const int64_t width = whole(a, 1, fn);
    if (width < 0)
        badArgument(fn);
    const std::string fill = a.size() > 2 ? text(a, 2, fn) : " ";
    const size_t n = static_cast<size_t>(width);
    if (s.size() >= n)
        return Value::Text(s.substr(0, n));
    const std::string padding(n - s.size(), fill.empty() ? ' ' : fill[0]);
    return Value::Text(right ? s + padding : padding + s);
}

Value PadR(BuiltinContext&, Args& a)
{
    return pad(a, "PADR", true);
}

Value PadL(BuiltinContext&, Args& a)
{
    return pad(a, "PADL", false);
}

// (text [, flags] [, cut, ...]): flags 1 compares the strings to cut
// without regard to case.
Value trim(Args& a, const char* fn, bool leading, bool trailing)
{
    const std::string& s = text(a, 0, fn);
    size_t next = 1;
    bool ignoreCase = false;
    if (a.size() > 1 && IsNumeric(a[1])) {
        const int64_t flags = whole(a, 1, fn);
        if (flags != 0 && flags != 1)
            badArgument(fn);
        ignoreCase = flags == 1;
        next = 2;
    }
    std::vector<std::string> cut;
    for (size_t i = next; i < a.size(); ++i)
        cut.push_back(text(a, i, fn));
    return Value::Text(Trim(s, leading, trailing, cut, ignoreCase));
}

Value AllTrim(BuiltinContext&, Args& a)
{
    return trim(a, "ALLTRIM", true, true);
}

Value LTrim(BuiltinContext&, Args& a)
{
    return trim(a, "LTRIM", true, false);
}

Value RTrim(BuiltinContext&, Args& a)
{
    return trim(a, "RTRIM", false, true);
}

Value UpperCase(BuiltinContext&, Args& a)
{
    return Value::Text(Upper(text(a, 0, "UPPER")));
}

Value LowerCase(BuiltinContext&, Args& a)
{
    return Value::Text(Lower(text(a, 0, "LOWER")));
}

Value Left(BuiltinContext&, Args& a)
{
    return Value::Text(Slice(text(a, 0, "LEFT"), 1, whole(a, 1, "LEFT")));
}

Value Right(BuiltinContext&, Args& a)
{
    const std::string& s = text(a, 0, "RIGHT");
    const int64_t n = std::min<int64_t>(whole(a, 1, "RIGHT"), static_cast<int64_t>(s.size()));
    return Value::Text(Slice(s, static_cast<int64_t>(s.size()) - n + 1, n));
}

Value Substr(BuiltinContext&, Args& a)
{
    const std::string& s = text(a, 0, "SUBSTR");
    const int64_t count = a.size() > 2 ? whole(a, 2, "SUBSTR") : static_cast<int64_t>(s.size());
    return Value::Text(Slice(s, whole(a, 1, "SUBSTR"), count));
}

Value Replicate(BuiltinContext&, Args& a)
{
    const std::string& s = text(a, 0, "REPLICATE");
    const int64_t times = whole(a, 1, "REPLICATE");
    if (times <= 0 || s.empty())
        return Value::Text("");
    if (static_cast<uint64_t>(times) > kMaxText / s.size())
        Fail("String is too long to fit");
    std::string out;
    out.reserve(s.size() * static_cast<size_t>(times));
    for (int64_t i = 0; i < times; ++i)
        out += s;
    return Value::Text(out);
}

Value At(BuiltinContext&, Args& a)
{
    const int64_t n = a.size() > 2 ? whole(a, 2, "AT") : 1;
    if (n < 1)
        badArgument("AT");
    return Value::Int(static_cast<int32_t>(Occurrence(text(a, 0, "AT"), text(a, 1, "AT"), n)));
}

// (searched, sought [, replacement [, first [, count [, flags]]]]).
Value StrTran(BuiltinContext&, Args& a)
{
    const std::string& searched = text(a, 0, "STRTRAN");
    const std::string& sought = text(a, 1, "STRTRAN");
    const std::string with = a.size() > 2 ? text(a, 2, "STRTRAN") : "";
    const int64_t flags = optional(a, 5, "STRTRAN", 0);
    if (flags < 0 || flags > 3)
        badArgument("STRTRAN");
    const std::string out = Replace(searched, sought, with, optional(a, 3, "STRTRAN", 1),
                                    optional(a, 4, "STRTRAN", -1), static_cast<int>(flags));
    if (out.size() > kMaxText)
        Fail("String is too long to fit");
    return Value::Text(out);
}

Value Str(BuiltinContext&, Args& a)
{
    if (!IsNumeric(a[0]))
        badArgument("STR");
    const int64_t width = a.size() > 1 ? whole(a, 1, "STR") : 10;
    const int64_t decimals = a.size() > 2 ? whole(a, 2, "STR") : 0;
    if (width < 1 || decimals < 0)
        badArgument("STR");
    if (static_cast<uint64_t>(width) > kMaxText)
        Fail("String is too long to fit");
    return Value::Text(NumberText(NumberOf(a[0]), static_cast<size_t>(width),
                                  static_cast<int>(std::min<int64_t>(decimals, 18))));
}

Value Val(BuiltinContext&, Args& a)
{
    uint32_t decimals = 2;
    const double v = ReadNumber(text(a, 0, "VAL"), decimals);
    return Value::Num(v, decimals);
}

Value Asc(BuiltinContext&, Args& a)
{
    const std::string& s = text(a, 0, "ASC");
    return Value::Int(s.empty() ? 0 : static_cast<unsigned char>(s[0]));
}

// As FoxPro shows a date with SET DATE AMERICAN and SET CENTURY OFF.
std::string dateText(unsigned year, unsigned month, unsigned day)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02u/%02u/%02u", month % 100u, day % 100u, year % 100u);
    return buffer;
}

// DATE() is today; DATE(year, month, day) that day, for years 100 to 9999.
Value Date(BuiltinContext&, Args& a)
{
    if (a.empty()) {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        return Value::Text(dateText(now.wYear, now.wMonth, now.wDay));
    }
    if (a.size() != 3)
        badArgument("DATE");
    const int64_t year = whole(a, 0, "DATE"), month = whole(a, 1, "DATE"),
                  day = whole(a, 2, "DATE");
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > kDays[month - 1] + (month == 2 && leap ? 1 : 0))
        badArgument("DATE");
    return Value::Text(dateText(static_cast<unsigned>(year), static_cast<unsigned>(month),
                                static_cast<unsigned>(day)));
}

// "hh:mm:ss" on the 24-hour clock; with any number, hundredths follow.
Value Time(BuiltinContext&, Args& a)
{
    if (!a.empty() && !IsNumeric(a[0]))
        badArgument("TIME");
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02u:%02u:%02u", now.wHour, now.wMinute, now.wSecond);
    std::string out = buffer;
    if (!a.empty()) {
        std::snprintf(buffer, sizeof buffer, ".%02u", now.wMilliseconds / 10u);
        out += buffer;
    }
    return Value::Text(out);
}

// Blank characters are spaces, tabs, carriage returns and line feeds.
Value Empty(BuiltinContext&, Args& a)
{
    const Value& v = a[0];
    switch (v.kind) {
    case Value::Kind::Character:
        return Value::Bool(v.text.find_first_not_of(" \t\r\n") == std::string::npos);
    case Value::Kind::Integer:
    case Value::Kind::Number:
        return Value::Bool(NumberOf(v) == 0);
    case Value::Kind::Logical:
        return Value::Bool(!v.logical);
    default:
        badArgument("EMPTY");
    }
}

// The kind of the value the text would give: C, N, L, M for a memo field,
// and U for a text that is no expression or whose value cannot be had. With
// 1 as the second argument: A for an array's name, else U.
Value Type(BuiltinContext& c, Args& a)
{
    const std::string& source = text(a, 0, "TYPE");
    const int64_t flags = a.size() > 1 ? whole(a, 1, "TYPE") : 0;
    if (flags != 0 && flags != 1)
        badArgument("TYPE");
    ExprPtr e;
    try {
        e = ParseExpression(source);
    } catch (const std::exception&) { // a SyntaxError, or a number the lexer cannot hold
        return Value::Text("U");
    }
    const bool named = e->kind == Expr::Kind::Name;
    if (flags == 1)
        return Value::Text(named && c.arrays.count(e->name) ? "A" : "U");
    try {
        const Value v = c.evaluate(*e);
        const bool field =
            e->kind == Expr::Kind::Field ||
            (named && !e->variableOnly && c.host.workAreas().fieldIndex(c.area, e->name) >= 0);
        switch (v.kind) {
        case Value::Kind::Character:
            return Value::Text(field ? "M" : "C");
        case Value::Kind::Integer:
        case Value::Kind::Number:
            return Value::Text("N");
        case Value::Kind::Logical:
            return Value::Text("L");
        default:
            return Value::Text("U");
        }
    } catch (const Raised&) {
        return Value::Text("U");
    }
}

// One row of ADIR: name, size, date, time and the attributes as "RHSDA".
std::vector<Value> directoryRow(const WIN32_FIND_DATAA& f)
{
    SYSTEMTIME utc{}, local{};
    FileTimeToSystemTime(&f.ftLastWriteTime, &utc);
    SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local);
    char date[16], time[16];
    std::snprintf(date, sizeof date, "%02u/%02u/%02u", local.wMonth, local.wDay,
                  local.wYear % 100u);
    std::snprintf(time, sizeof time, "%02u:%02u:%02u", local.wHour, local.wMinute, local.wSecond);
    const DWORD a = f.dwFileAttributes;
    std::string flags = ".....";
    const DWORD bits[] = {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM,
                          FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_ARCHIVE};
    for (size_t i = 0; i < 5; ++i)
        if (a & bits[i])
            flags[i] = "RHSDA"[i];
    const double size = static_cast<double>(f.nFileSizeHigh) * 4294967296.0 + f.nFileSizeLow;
    return {Value::Text(Upper(f.cFileName)), Value::Num(size, 0), Value::Text(date),
            Value::Text(time), Value::Text(flags)};
}

// ADIR(array, skeleton [, attributes]): the files that match, one row each,
// in name order (as NTFS lists them); directories, hidden and system files
// only when "D", "H" or "S" asks for them. With none, the array is left as
// it was.
Value ADir(BuiltinContext& c, Args& a)
{
    if (a[0].kind != Value::Kind::Reference)
        badArgument("ADIR");
    const std::string skeleton = a.size() > 1 ? text(a, 1, "ADIR") : "*.*";
    std::string wanted = a.size() > 2 ? text(a, 2, "ADIR") : "";
    for (char& ch : wanted)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    DWORD allowed = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    for (char ch : wanted)
        allowed &= ~(ch == 'D'   ? FILE_ATTRIBUTE_DIRECTORY
                     : ch == 'H' ? FILE_ATTRIBUTE_HIDDEN
                     : ch == 'S' ? FILE_ATTRIBUTE_SYSTEM
                                 : 0);
    std::vector<WIN32_FIND_DATAA> found;
    WIN32_FIND_DATAA f;
    FindHandle search(FindFirstFileA(skeleton.c_str(), &f));
    for (bool more = search.valid(); more; more = FindNextFileA(search.get(), &f)) {
        const std::string name = f.cFileName;
        if (!(f.dwFileAttributes & allowed) &&
            (wanted.find('D') != std::string::npos || (name != "." && name != "..")))
            found.push_back(f);
    }
    if (found.empty())
        return Value::Int(0);
    std::sort(found.begin(), found.end(),
              [](const auto& x, const auto& y) { return lstrcmpiA(x.cFileName, y.cFileName) < 0; });
    Array rows = Array::Make(found.size(), 5);
    for (size_t i = 0; i < found.size(); ++i) {
        std::vector<Value> row = directoryRow(found[i]);
        for (size_t j = 0; j < row.size(); ++j)
            rows.at(i + 1, j + 1) = row[j];
    }
    c.arrays[Variables::normalize(a[0].name)] = std::move(rows);
    c.host.variables().erase(a[0].name);
    return Value::Int(static_cast<int32_t>(found.size()));
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
    {"BITTEST", 2, 2, BitTest},
    {"TRANSFORM", 1, 2, Transform},
    {"PADR", 2, 3, PadR},
    {"PADL", 2, 3, PadL},
    {"ALLTRIM", 1, 25, AllTrim},
    {"LTRIM", 1, 25, LTrim},
    {"RTRIM", 1, 25, RTrim},
    {"TRIM", 1, 25, RTrim},
    {"UPPER", 1, 1, UpperCase},
    {"LOWER", 1, 1, LowerCase},
    {"LEFT", 2, 2, Left},
    {"RIGHT", 2, 2, Right},
    {"SUBSTR", 2, 3, Substr},
    {"REPLICATE", 2, 2, Replicate},
    {"AT", 2, 3, At},
    {"STRTRAN", 2, 6, StrTran},
    {"STR", 1, 3, Str},
    {"VAL", 1, 1, Val},
    {"ASC", 1, 1, Asc},
    {"DATE", 0, 3, Date},
    {"TIME", 0, 1, Time},
    {"EMPTY", 1, 1, Empty},
    {"TYPE", 1, 2, Type},
    {"ADIR", 1, 3, ADir},
};

} // namespace

bool TakesArray(const std::string& name)
{
    return name == "ADIR";
}

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
