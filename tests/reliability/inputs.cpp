// Hostile values and the argument recipes of the fuzzing driver.
#include "inputs.h"

#include <climits>
#include <set>

namespace reliability {
namespace {

const char kSeparators[] = "\\/:*?\"<>|., ;\t\r\n";
const char kSafe[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_- .";

const std::vector<int32_t>& SpecialIntegers()
{
    static const std::vector<int32_t> values = {
        0,
        1,
        -1,
        2,
        -2,
        127,
        128,
        255,
        256,
        -255,
        -256,
        32767,
        32768,
        -32768,
        -32769,
        65535,
        65536,
        -65535,
        -65536,
        99,
        100,
        1000,
        10240,
        INT32_MAX,
        INT32_MIN,
        INT32_MAX - 1,
        INT32_MIN + 1,
        0x7FFF0000,
        -0x10000 + 0x614,
        231,
        232,
        233,
    };
    return values;
}

} // namespace

Inputs::Inputs(Rng& rng, std::string work, std::string out, std::string files,
               ReferenceTargets targets)
    : rng_(rng), work_(std::move(work)), out_(std::move(out)), files_(std::move(files)),
      targets_(std::move(targets))
{
}

// Mostly short, sometimes at the edges of the library's buffers, now and
// then up to 64 KiB.
size_t Inputs::length()
{
    static const std::vector<size_t> edges = {
        0,   1,   2,   4,   5,   6,    11,   12,    13,    99,    100,   101,  255,
        256, 259, 260, 261, 999, 1000, 1001, 10240, 10241, 32767, 65535, 65536};
    switch (rng_.below(10)) {
    case 0:
        return 0;
    case 1:
    case 2:
    case 3:
        return rng_.between(1, 12);
    case 4:
    case 5:
        return rng_.between(13, 300);
    case 6:
        return rng_.between(301, 4000);
    case 7:
        return rng_.oneIn(4) ? rng_.between(4001, 65536) : rng_.between(1, 60);
    default:
        return rng_.pick(edges);
    }
}

std::string Inputs::bytes(size_t n)
{
    std::string s(n, '\0');
    const int style = static_cast<int>(rng_.below(4)); // a whole text leans one way
    for (char& c : s) {
        uint32_t kind = rng_.below(10);
        if (style == 1 && kind < 5)
            kind = 9; // high bytes
        if (style == 2 && kind < 5)
            kind = 8; // zeros
        if (kind < 5)
            c = static_cast<char>(rng_.between(0x20, 0x7E));
        else if (kind < 7)
            c = kSeparators[rng_.below(sizeof kSeparators - 1)];
        else if (kind < 8)
            c = static_cast<char>(rng_.below(256));
        else if (kind < 9)
            c = '\0';
        else
            c = static_cast<char>(rng_.between(0x80, 0xFF));
    }
    return s;
}

std::string Inputs::text()
{
    return bytes(length());
}

std::string Inputs::password()
{
    if (rng_.oneIn(3))
        return bytes(rng_.between(0, 7)); // around the 5-byte minimum
    return text();
}

int32_t Inputs::integer()
{
    switch (rng_.below(4)) {
    case 0:
        return static_cast<int32_t>(rng_.next());
    case 1:
        return static_cast<int32_t>(rng_.between(0, 40)) - 20;
    default:
        return rng_.pick(SpecialIntegers());
    }
}

bool Inputs::present()
{
    return !rng_.oneIn(3);
}

int32_t Inputs::shellFlags()
{
    return (static_cast<int32_t>(rng_.next()) | kQuietShell) & ~kShellUndo;
}

// A name that starts with a letter or digit, so that no segment is ".." or
// loses itself to Windows' trimming of trailing dots and blanks.
std::string Inputs::segment()
{
    std::string s(1, kSafe[rng_.below(62)]);
    const uint32_t n = rng_.below(12);
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t kind = rng_.below(12);
        if (kind == 0)
            s += '*';
        else if (kind == 1)
            s += '?';
        else if (kind == 2)
            s += static_cast<char>(rng_.between(0xC0, 0xFE));
        else
            s += kSafe[rng_.below(sizeof kSafe - 1)];
    }
    return s;
}

std::string Inputs::writerPath(Side side)
{
    static const std::vector<std::string> bases = {"\\", "\\sub\\", "\\deep\\er\\"};
    const bool source = side == Side::Source || (side == Side::Either && rng_.oneIn(2));
    std::string path;
    switch (rng_.below(8)) {
    case 0:
        path = source ? "A:\\" : "b:\\";
        break;
    case 1:
        if (source) {
            path = ""; // relative: the current directory is the work folder
            break;
        }
        [[fallthrough]];
    default:
        path = (source ? work_ : out_) + rng_.pick(bases);
    }
    const uint32_t segments = rng_.below(4);
    for (uint32_t i = 0; i < segments; ++i) {
        if (i)
            path += '\\';
        path += segment();
    }
    if (rng_.oneIn(30)) { // deep inside the sandbox, past MAX_PATH
        if (!path.empty() && path.back() != '\\')
            path += '\\';
        const std::string name = segment();
        while (path.size() < 400)
            path += name + "x\\";
    }
    if (path.empty())
        path = segment();
    if (rng_.oneIn(5) && path.back() != '\\')
        path += '\\';
    return path;
}

std::string Inputs::nameList(Side side)
{
    std::string list = writerPath(side);
    const uint32_t more = rng_.below(3);
    for (uint32_t i = 0; i < more; ++i)
        list += std::string(1, '\0') + writerPath(side);
    if (rng_.oneIn(4))
        list += '\0';
    return list;
}

std::string Inputs::readerPath()
{
    static const std::vector<std::string> fixed = {
        "",
        "C:\\",
        "C:\\windows\\win.ini",
        "C:\\windows\\system32\\kernel32.dll",
        "CON",
        "NUL",
        "AUX",
        "\\\\.\\A:",
        "\\\\.\\PhysicalDrive0",
        "\\\\?\\unix\\etc\\hostname",
        "\\\\?\\unix\\no\\such\\file",
        "\\\\server\\share\\file.txt",
        "D:\\",
        "Q:\\missing.txt",
        "::",
        "\\",
        ".",
        "..",
    };
    switch (rng_.below(8)) {
    case 0:
    case 1:
    case 2:
        return files_ + "\\f" + std::to_string(rng_.below(6)) + (rng_.oneIn(8) ? "x" : "");
    case 3:
        return rng_.pick(fixed);
    case 4: {
        std::string p(1, static_cast<char>('A' + rng_.below(26)));
        return p + ":\\" + (rng_.oneIn(2) ? segment() : "");
    }
    case 5: {
        std::string p = files_ + "\\";
        p.append(rng_.between(200, rng_.oneIn(4) ? 40000 : 400), 'n');
        return p;
    }
    case 6:
        return writerPath();
    default:
        return text();
    }
}

std::string Inputs::drive()
{
    const uint32_t form = rng_.below(3);
    const std::string rest = form == 0 ? ":" : form == 1 ? ":\\" : text();
    switch (rng_.below(5)) {
    case 0:
        return std::string(1, "ABCDEZabcdez"[rng_.below(12)]) + rest;
    case 1:
        return std::string(1, static_cast<char>('A' + rng_.below(26))) + rest;
    case 2:
        return std::string(1, static_cast<char>(rng_.below(256))) + rest;
    case 3:
        return "";
    default:
        return text();
    }
}

Value Inputs::reference()
{
    switch (rng_.below(4)) {
    case 0:
    case 1:
        return Value::VarRef(rng_.pick(targets_.variables));
    case 2:
        return Value::VarRef(rng_.pick(targets_.missing));
    default: {
        const int area =
            rng_.oneIn(6) ? static_cast<int>(rng_.below(40)) : rng_.pick(targets_.areas);
        return Value::MemoRef(area, rng_.pick(targets_.fields));
    }
    }
}

Value Inputs::anything()
{
    switch (rng_.below(6)) {
    case 0:
        return Value::Text(text());
    case 1:
        return Value::Int(integer());
    case 2:
        return Value::Num(static_cast<double>(integer()) / 7.0, 2);
    case 3:
        return Value::Bool(logical());
    default:
        return reference();
    }
}

namespace {

using Args = std::vector<Value>;

Value T(const std::string& s)
{
    return Value::Text(s);
}
Value I(int32_t v)
{
    return Value::Int(v);
}

Recipe Plain(std::function<Args(Inputs&)> make, int weight = 10)
{
    return Recipe{Guard::None, weight, std::move(make)};
}

Args None(Inputs&)
{
    return {};
}
Args OneText(Inputs& in)
{
    return {T(in.text())};
}
Args OneDrive(Inputs& in)
{
    return {T(in.drive())};
}
Args OneReader(Inputs& in)
{
    return {T(in.readerPath())};
}
Args OneWriter(Inputs& in)
{
    return {T(in.writerPath())};
}
Args OneInteger(Inputs& in)
{
    return {I(in.integer())};
}
Args TwoIntegers(Inputs& in)
{
    return {I(in.integer()), I(in.integer())};
}
Args ThreeIntegers(Inputs& in)
{
    return {I(in.integer()), I(in.integer()), I(in.integer())};
}

// Work areas: mostly those with tables, and any number at all.
int32_t Area(Inputs& in)
{
    return in.rng().oneIn(3) ? in.integer() : static_cast<int32_t>(in.rng().below(8));
}

Args DriveAndOption(Inputs& in)
{
    Args a = {T(in.drive())};
    if (in.present())
        a.push_back(Value::Bool(in.logical()));
    return a;
}

// Key waits: keys of every kind and a time-out of a few milliseconds, or a
// negative one (no limit), which the driver makes safe by holding the keys.
Args KeyWait(Inputs& in, int keys)
{
    Args a;
    for (int i = 0; i < keys; ++i)
        a.push_back(
            I(in.rng().oneIn(8) ? in.integer() : static_cast<int32_t>(in.rng().below(256))));
    a.push_back(I(in.rng().oneIn(4) ? -static_cast<int32_t>(in.rng().between(1, 5))
                                    : static_cast<int32_t>(in.rng().below(3))));
    return a;
}

Args Shell(Inputs& in, bool toDestination)
{
    Args a = {T(in.nameList(toDestination ? Side::Source : Side::Either))};
    a.push_back(toDestination ? T(in.nameList(Side::Destination)) : in.anything());
    a.push_back(T(in.rng().oneIn(2) ? in.text() : "Fuzz"));
    a.push_back(I(in.shellFlags()));
    return a;
}

Args FileCipher(Inputs& in, bool password)
{
    Args a = {T(in.rng().oneIn(6) ? in.writerPath() : in.readerPath()), T(in.writerPath())};
    if (password)
        a.push_back(T(in.password()));
    return a;
}

Args LayoutName(Inputs& in)
{
    static const std::vector<std::string> names = {"00000409", "0000041B", "00000405",
                                                   "00000407", "0001041B", "FFFFFFFF"};
    if (!in.present())
        return {};
    return {T(in.rng().oneIn(2) ? in.rng().pick(names) : in.text())};
}

} // namespace

const std::map<std::string, Recipe>& Recipes()
{
    static const std::map<std::string, Recipe> recipes = {
        {"M_ACTKEYB", Plain(LayoutName, 3)},
        {"M_DRIVES", Plain(None, 3)},
        {"M_DRVBYTES", Plain(OneDrive)},
        {"M_DRVUSED", Plain(OneDrive)},
        {"M_DRVFREE", Plain(OneDrive)},
        {"M_DRVSPACE", Plain(OneDrive)},
        {"M_DRVTYPE", Plain(OneDrive)},
        {"M_DSERIAL", Plain(OneDrive)},
        {"M_FCRC32", Plain(OneReader, 15)},
        {"M_FCRC16", Plain(OneReader, 15)},
        {"M_GETKEYB", Plain(None, 3)},
        {"M_MKEYBID", Plain(TwoIntegers)},
        {"M_MKDIR", Plain(OneWriter, 15)},
        {"M_RMDIR", Plain(OneWriter, 15)},
        {"M_STRCRC16", Plain(OneText)},
        {"M_STRCRC32", Plain(OneText)},
        {"M_SLEEP", Recipe{Guard::Pause, 3,
                           [](Inputs& in) {
                               const int32_t v = in.integer();
                               return Args{I(v > 2 ? v % 3 : v)};
                           }}},
        {"M_DRVBYTESX", Plain(OneDrive)},
        {"M_DRVUSEDX", Plain(OneDrive)},
        {"M_DRVFREEX", Plain(OneDrive)},
        {"M_DRVFREECX", Plain(OneDrive)},
        {"M_FDTESTW", Plain(DriveAndOption)},
        {"M_ALT", Plain(None, 2)},
        {"M_BSPACE", Plain(None, 2)},
        {"M_CTRL", Plain(None, 2)},
        {"M_ESC", Plain(None, 2)},
        {"M_LSHIFT", Plain(None, 2)},
        {"M_RSHIFT", Plain(None, 2)},
        {"M_SCRL", Plain(None, 2)},
        {"M_KEY", Plain(OneInteger)},
        {"M_KEY2", Plain(TwoIntegers)},
        {"M_KEY3", Plain(ThreeIntegers)},
        {"M_WKEY", Recipe{Guard::KeyWait, 1, [](Inputs& in) { return KeyWait(in, 1); }}},
        {"M_WKEY2", Recipe{Guard::KeyWait, 1, [](Inputs& in) { return KeyWait(in, 2); }}},
        {"M_WKEY3", Recipe{Guard::KeyWait, 1, [](Inputs& in) { return KeyWait(in, 3); }}},
        {"M_SHFCOPY", Plain([](Inputs& in) { return Shell(in, true); }, 8)},
        {"M_SHFDEL", Plain([](Inputs& in) { return Shell(in, false); }, 8)},
        {"M_SHFMOVE", Plain([](Inputs& in) { return Shell(in, true); }, 8)},
        {"M_IDXNO", Plain([](Inputs& in) { return Args{I(Area(in))}; })},
        {"M_IDXNOF", Plain([](Inputs& in) { return Args{I(Area(in))}; })},
        {"M_IGOTOP", Plain([](Inputs& in) { return Args{I(Area(in))}; })},
        {"M_IGOTOPF", Plain([](Inputs& in) { return Args{I(Area(in))}; })},
        {"M_ISKIP", Plain([](Inputs& in) {
             return Args{I(Area(in)), I(in.integer())};
         })},
        {"M_ISKIPF", Plain([](Inputs& in) {
             return Args{I(Area(in)), I(in.integer())};
         })},
        {"M_ENCRPTW", Plain([](Inputs& in) {
             return Args{T(in.text()), T(in.password())};
         })},
        {"M_DECRPTW", Plain([](Inputs& in) {
             return Args{T(in.text()), T(in.password())};
         })},
        {"M_FENCRPTW", Plain([](Inputs& in) { return FileCipher(in, true); })},
        {"M_FDECRPTW", Plain([](Inputs& in) { return FileCipher(in, true); })},
        {"M_MENCRPTW", Plain([](Inputs& in) {
             return Args{in.reference(), T(in.password())};
         })},
        {"M_MDECRPTW", Plain([](Inputs& in) {
             return Args{in.reference(), T(in.password())};
         })},
        {"M_FDCLEARW", Plain(DriveAndOption)},
        {"M_MACNBIOW", Plain(None, 2)},
        {"M_MACADAPW", Plain(None, 2)},
        {"M_ENCRPTWX", Plain(OneText)},
        {"M_DECRPTWX", Plain(OneText)},
        {"M_MECRPTWX", Plain([](Inputs& in) { return Args{in.reference()}; })},
        {"M_MDCRPTWX", Plain([](Inputs& in) { return Args{in.reference()}; })},
        {"M_FECRPTWX", Plain([](Inputs& in) { return FileCipher(in, false); })},
        {"M_FDCRPTWX", Plain([](Inputs& in) { return FileCipher(in, false); })},
        {"M_CRPTINIT", Plain([](Inputs& in) {
             Args a = {T(in.password())};
             if (in.present())
                 a.push_back(in.anything());
             return a;
         })},
        {"M_CRPTQUIT", Plain(None, 3)},
        {"M_INFO", Plain(OneInteger, 3)},
    };
    return recipes;
}

bool EndsTheSession(const std::string& name)
{
    static const std::set<std::string> names = {"M_LOGOFF", "M_LOGOFFX", "M_DOWN",   "M_DOWNX",
                                                "M_REBOOT", "M_REBOOTX", "M_PWROFF", "M_PWROFFX"};
    return names.count(name) != 0;
}

} // namespace reliability
