// Running fllhost's FoxPro subset: statements, expressions, the built-in
// functions, calls into the loaded library, and the ? output rules.
#include "script.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <istream>
#include <ostream>
#include <sstream>
#include <windows.h>

namespace fllhost::script {

namespace {

// An error raised while a statement runs: reported as "Error N" (a host
// error number) or "Error: text", and the script goes on.
struct Raised {
    int number;
    std::string text;
};

[[noreturn]] void fail(const std::string& text)
{
    throw Raised{0, text};
}

std::string trimLineEnds(std::string s)
{
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
        s.pop_back();
    return s;
}

const Value& argAt(std::vector<Value>& args, size_t i, Value::Kind kind, const char* fn)
{
    if (i >= args.size() || args[i].kind != kind)
        fail(std::string(fn) + ": function argument value, type, or count is invalid");
    return args[i];
}

double numberOf(const Value& v)
{
    return v.kind == Value::Kind::Integer ? v.integer : v.number;
}

bool isNumeric(const Value& v)
{
    return v.kind == Value::Kind::Integer || v.kind == Value::Kind::Number;
}

int64_t wholeArg(std::vector<Value>& args, size_t i, const char* fn)
{
    if (i >= args.size() || !isNumeric(args[i]))
        fail(std::string(fn) + ": function argument value, type, or count is invalid");
    return static_cast<int64_t>(numberOf(args[i]));
}

void countArgs(const std::vector<Value>& args, size_t least, size_t most, const char* fn)
{
    if (args.size() < least || args.size() > most)
        fail(std::string(fn) + ": function argument value, type, or count is invalid");
}

Value sum(const Value& a, const Value& b, int sign)
{
    if (sign > 0 && a.kind == Value::Kind::Character && b.kind == Value::Kind::Character)
        return Value::Text(a.text + b.text);
    if (!isNumeric(a) || !isNumeric(b))
        fail("Operator/operand type mismatch");
    const double r = numberOf(a) + sign * numberOf(b);
    if (a.kind == Value::Kind::Integer && b.kind == Value::Kind::Integer && r >= INT32_MIN &&
        r <= INT32_MAX)
        return Value::Int(static_cast<int32_t>(r));
    const uint32_t da = a.kind == Value::Kind::Number ? a.decimals : 0;
    const uint32_t db = b.kind == Value::Kind::Number ? b.decimals : 0;
    return Value::Num(r, std::max(da, db));
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

bool fileExists(const std::string& path)
{
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string readFile(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    if (!in)
        fail("File '" + name + "' does not exist");
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
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

} // namespace

Interpreter::Interpreter(std::ostream& out, std::ostream& err)
    : out_(out), err_(err), host_(std::make_unique<Host>())
{
    host_->windows().setObserver([this](const TextWindow& w) { drawWindow(w); });
}

Interpreter::~Interpreter()
{
    host_->windows().setObserver(nullptr);
}

void Interpreter::addLibraryFolder(const std::string& folder)
{
    if (!folder.empty())
        folders_.push_back(folder);
}

std::string Interpreter::findLibrary(const std::string& path) const
{
    std::vector<std::string> names{path};
    const size_t slash = path.find_last_of("\\/");
    const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    if (file.find('.') == std::string::npos)
        names.push_back(path + ".fll");
    const bool relative = !(path.size() > 1 && path[1] == ':') && path[0] != '\\' && path[0] != '/';
    for (const std::string& name : names) {
        if (fileExists(name))
            return name;
        for (const std::string& folder : folders_)
            if (relative && fileExists(folder + "\\" + name))
                return folder + "\\" + name;
    }
    return path;
}

bool Interpreter::setLibrary(const std::string& path)
{
    if (path.empty()) {
        libraryPath_.clear();
        host_->windows().setObserver(nullptr);
        host_ = std::make_unique<Host>();
        host_->windows().setObserver([this](const TextWindow& w) { drawWindow(w); });
        return true;
    }
    const std::string found = findLibrary(path);
    if (found == libraryPath_)
        return true;
    if (host_->loaded())
        setLibrary("");
    std::string error;
    if (!host_->load(found, &error)) {
        report("Error: " + error);
        status_ = kStopped;
        return false;
    }
    libraryPath_ = found;
    return true;
}

void Interpreter::write(const std::string& text)
{
    if (text.empty())
        return;
    out_ << text;
    out_.flush();
    atLineStart_ = text.back() == '\n';
    started_ = true;
    endedEarly_ = false;
}

// As FoxPro's ? does; only the program's very first line break is left out.
void Interpreter::startLine()
{
    if (endedEarly_)
        endedEarly_ = false;
    else if (started_)
        write("\n");
}

void Interpreter::drainHostOutput()
{
    std::string& pending = host_->output();
    if (pending.empty())
        return;
    std::string text;
    text.swap(pending);
    write(text);
}

void Interpreter::finish()
{
    drainHostOutput();
    if (!atLineStart_)
        write("\n");
}

void Interpreter::drawWindow(const TextWindow& w)
{
    if (w.state != 3 || w.text.empty())
        return;
    drainHostOutput();
    const std::string indent(static_cast<size_t>(std::max(0, w.left)), ' ');
    for (const std::string& line : TextWindows::render(w)) {
        startLine();
        write(indent + line);
    }
}

std::string Interpreter::Format(const Value& v)
{
    char buffer[400];
    switch (v.kind) {
    case Value::Kind::Character:
        return v.text;
    case Value::Kind::Integer:
        return std::to_string(v.integer);
    case Value::Kind::Number:
        std::snprintf(buffer, sizeof buffer, "%.*f", static_cast<int>(std::min(v.decimals, 18u)),
                      v.number);
        return buffer;
    case Value::Kind::Logical:
        return v.logical ? ".T." : ".F.";
    case Value::Kind::Reference:
        return "@" + v.name;
    case Value::Kind::Nothing:
        break;
    }
    return ".T.";
}

// An open output line is ended first, so that the message stands on a line
// of its own where both streams go to one terminal.
void Interpreter::report(const std::string& message)
{
    drainHostOutput();
    if (!atLineStart_) {
        write("\n");
        endedEarly_ = true;
    }
    err_ << message << "\n";
    err_.flush();
}

bool Interpreter::run(const std::string& line, int number)
{
    Statement s;
    try {
        s = Parse(line);
    } catch (const SyntaxError& e) {
        report("Syntax error" + (number ? " in line " + std::to_string(number) : std::string()) +
               ": " + e.what());
        status_ = kStopped;
        return false;
    }
    try {
        execute(s);
    } catch (const Raised& r) {
        report(r.number ? "Error " + std::to_string(r.number) : "Error: " + r.text);
        status_ = std::max(status_, kRaised);
    }
    drainHostOutput();
    return status_ != kStopped;
}

bool Interpreter::runProgram(std::istream& in)
{
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!run(line, number))
            return false;
    }
    return true;
}

int Interpreter::areaOf(const Statement& s)
{
    if (!s.area)
        return area_;
    Value a = evaluate(*s.area);
    if (!isNumeric(a))
        fail("Operator/operand type mismatch");
    return static_cast<int>(numberOf(a));
}

void Interpreter::execute(const Statement& s)
{
    WorkAreas& areas = host_->workAreas();
    switch (s.kind) {
    case Statement::Kind::Empty:
        return;
    case Statement::Kind::Print: {
        std::string line;
        for (size_t i = 0; i < s.exprs.size(); ++i)
            line += (i ? " " : "") + Format(evaluate(*s.exprs[i]));
        drainHostOutput();
        if (s.newLine)
            startLine();
        write(line);
        return;
    }
    case Statement::Kind::Assign:
        host_->variables().set(s.names[0], evaluate(*s.exprs[0]));
        return;
    case Statement::Kind::Evaluate:
        evaluate(*s.exprs[0]);
        return;
    case Statement::Kind::SetLibrary:
        setLibrary(s.path);
        return;
    case Statement::Kind::Select: {
        Value a = evaluate(*s.amount);
        if (!isNumeric(a) || numberOf(a) < 0 || numberOf(a) > WorkAreas::kMaxAreas)
            fail("Invalid work area");
        area_ = static_cast<int>(numberOf(a));
        return;
    }
    case Statement::Kind::Go: {
        const int area = areaOf(s);
        if (!areas.has(area))
            fail("No table is open in the current work area");
        if (s.where == Statement::Where::Top) {
            areas.goFirst(area);
        } else if (s.where == Statement::Where::Bottom) {
            std::vector<int> order = areas.order(area);
            if (order.empty())
                areas.goFirst(area);
            else
                areas.go(area, order.back());
        } else {
            Value n = evaluate(*s.amount);
            if (!isNumeric(n) || !areas.go(area, static_cast<int>(numberOf(n))))
                fail("Record is out of range");
        }
        return;
    }
    case Statement::Kind::Skip: {
        const int area = areaOf(s);
        if (!areas.has(area))
            fail("No table is open in the current work area");
        int n = 1;
        if (s.amount) {
            Value v = evaluate(*s.amount);
            if (!isNumeric(v))
                fail("Operator/operand type mismatch");
            n = static_cast<int>(numberOf(v));
        }
        const uint32_t flags = areas.positionStatus(area);
        if (n > 0 && (flags & abi::kAtEnd))
            fail("End of file encountered");
        if (n < 0 && (flags & abi::kAtBeginning))
            fail("Beginning of file encountered");
        areas.skip(area, n);
        return;
    }
    case Statement::Kind::Replace: {
        const int area = areaOf(s);
        Value v = evaluate(*s.exprs[0]);
        if (!areas.has(area))
            fail("No table is open in the current work area");
        if (areas.fieldIndex(area, s.names[0]) < 0)
            fail("Variable '" + s.names[0] + "' is not found");
        if (v.kind != Value::Kind::Character)
            fail("Data type mismatch");
        if (!(areas.positionStatus(area) & abi::kAtEnd) &&
            !areas.writeMemo(area, s.names[0], v.text))
            fail("Cannot write the memo file");
        return;
    }
    case Statement::Kind::Erase: {
        Value name = evaluate(*s.exprs[0]);
        if (name.kind != Value::Kind::Character)
            fail("Data type mismatch");
        if (!DeleteFileA(name.text.c_str()))
            fail("File '" + name.text + "' does not exist");
        return;
    }
    case Statement::Kind::Release:
        for (const std::string& name : s.names)
            host_->variables().erase(name);
        return;
    }
}

Value Interpreter::evaluate(const Expr& e)
{
    switch (e.kind) {
    case Expr::Kind::Literal:
        return e.value;
    case Expr::Kind::Name: {
        if (!e.variableOnly && host_->workAreas().fieldIndex(area_, e.name) >= 0)
            return Value::Text(host_->workAreas().readMemo(area_, e.name).value_or(""));
        if (auto v = host_->variables().get(e.name))
            return *v;
        fail("Variable '" + e.name + "' is not found");
    }
    case Expr::Kind::Ref:
        if (!e.variableOnly && host_->workAreas().fieldIndex(area_, e.name) >= 0)
            return Value::MemoRef(area_, e.name);
        return Value::VarRef(e.name);
    case Expr::Kind::Call: {
        std::vector<Value> args;
        for (const ExprPtr& a : e.args)
            args.push_back(evaluate(*a));
        return call(e.name, args);
    }
    case Expr::Kind::Add:
    case Expr::Kind::Subtract:
        return sum(evaluate(*e.args[0]), evaluate(*e.args[1]), e.kind == Expr::Kind::Add ? 1 : -1);
    case Expr::Kind::Negate:
        return sum(Value::Int(0), evaluate(*e.args[0]), -1);
    }
    return Value();
}

Value Interpreter::call(const std::string& name, std::vector<Value>& args)
{
    bool found = false;
    Value v = builtin(name, args, found);
    if (found)
        return v;
    CallResult r = host_->call(name, args);
    if (!r.refused.empty())
        fail(r.refused);
    if (r.hostError)
        throw Raised{r.hostError, ""};
    if (r.userRaised)
        fail(trimLineEnds(r.userError));
    return r.results ? r.value : Value::Bool(true);
}

Value Interpreter::builtin(const std::string& name, std::vector<Value>& args, bool& found)
{
    found = true;
    WorkAreas& areas = host_->workAreas();
    auto areaArg = [&](const char* fn) {
        countArgs(args, 0, 1, fn);
        return args.empty() ? area_ : static_cast<int>(wholeArg(args, 0, fn));
    };
    if (name == "LEN") {
        countArgs(args, 1, 1, "LEN");
        return Value::Int(
            static_cast<int32_t>(argAt(args, 0, Value::Kind::Character, "LEN").text.size()));
    }
    if (name == "CHR") {
        countArgs(args, 1, 1, "CHR");
        const int64_t c = wholeArg(args, 0, "CHR");
        if (c < 0 || c > 255)
            fail("CHR: function argument value, type, or count is invalid");
        return Value::Text(std::string(1, static_cast<char>(c)));
    }
    if (name == "STRCONV") {
        countArgs(args, 2, 2, "STRCONV");
        const std::string& text = argAt(args, 0, Value::Kind::Character, "STRCONV").text;
        const int64_t how = wholeArg(args, 1, "STRCONV");
        if (how == 15)
            return Value::Text(toHex(text));
        if (how == 16)
            return Value::Text(fromHex(text));
        fail("STRCONV: only 15 (bytes to hexadecimal) and 16 (back) are known");
    }
    if (name == "FILETOSTR") {
        countArgs(args, 1, 1, "FILETOSTR");
        return Value::Text(readFile(argAt(args, 0, Value::Kind::Character, "FILETOSTR").text));
    }
    if (name == "STRTOFILE") {
        countArgs(args, 2, 3, "STRTOFILE");
        const std::string& text = argAt(args, 0, Value::Kind::Character, "STRTOFILE").text;
        const std::string& file = argAt(args, 1, Value::Kind::Character, "STRTOFILE").text;
        const bool additive =
            args.size() == 3 && ((args[2].kind == Value::Kind::Logical && args[2].logical) ||
                                 (isNumeric(args[2]) && numberOf(args[2]) != 0));
        std::ofstream f(file, additive ? std::ios::binary | std::ios::app : std::ios::binary);
        if (!f || !f.write(text.data(), static_cast<std::streamsize>(text.size())))
            fail("Cannot write the file '" + file + "'");
        return Value::Int(static_cast<int32_t>(text.size()));
    }
    if (name == "FILE") {
        countArgs(args, 1, 1, "FILE");
        return Value::Bool(fileExists(argAt(args, 0, Value::Kind::Character, "FILE").text));
    }
    if (name == "GETENV") {
        countArgs(args, 1, 1, "GETENV");
        char value[32768] = "";
        const std::string& var = argAt(args, 0, Value::Kind::Character, "GETENV").text;
        const DWORD n = GetEnvironmentVariableA(var.c_str(), value, sizeof value);
        return Value::Text(n < sizeof value ? std::string(value, n) : std::string());
    }
    if (name == "MAKETABLE") {
        countArgs(args, 2, 4, "MAKETABLE");
        const int area = static_cast<int>(wholeArg(args, 0, "MAKETABLE"));
        const int records = static_cast<int>(wholeArg(args, 1, "MAKETABLE"));
        const std::string order =
            args.size() > 2 ? argAt(args, 2, Value::Kind::Character, "MAKETABLE").text : "";
        const std::string fields =
            args.size() > 3 ? argAt(args, 3, Value::Kind::Character, "MAKETABLE").text : "NOTES";
        if (!areas.create(area, records, words(fields)) || !applyOrder(areas, area, order))
            fail("MAKETABLE: function argument value, type, or count is invalid");
        areas.goFirst(area);
        area_ = area;
        return Value::Bool(true);
    }
    if (name == "RECNO")
        return Value::Int(areas.recordNumber(areaArg("RECNO")));
    if (name == "RECCOUNT")
        return Value::Int(areas.recordCount(areaArg("RECCOUNT")));
    if (name == "EOF")
        return Value::Bool(areas.positionStatus(areaArg("EOF")) & abi::kAtEnd);
    if (name == "BOF")
        return Value::Bool(areas.positionStatus(areaArg("BOF")) & abi::kAtBeginning);
    if (name == "SELECT") {
        countArgs(args, 0, 0, "SELECT");
        return Value::Int(area_);
    }
    found = false;
    return Value();
}

} // namespace fllhost::script
