// Running fllhost's FoxPro subset: statements, expressions, the built-in
// functions, calls into the loaded library, and the ? output rules.
#include "script.h"

#include "builtins.h"
#include "values.h"

#include <cstdio>
#include <fstream>
#include <istream>
#include <ostream>
#include <windows.h>

namespace fllhost::script {

namespace {

std::string trimLineEnds(std::string s)
{
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
        s.pop_back();
    return s;
}

bool fileExists(const std::string& path)
{
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
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

void Interpreter::execute(const Statement& s)
{
    switch (s.kind) {
    case Statement::Kind::Empty:
        return;
    case Statement::Kind::Print:
        print(s);
        return;
    case Statement::Kind::Assign:
        host_->variables().set(s.names[0], evaluate(*s.exprs[0]));
        return;
    case Statement::Kind::Evaluate:
        evaluate(*s.exprs[0]);
        return;
    case Statement::Kind::SetLibrary:
        setLibrary(s.path);
        return;
    case Statement::Kind::Select:
        select(s);
        return;
    case Statement::Kind::Go:
        go(s);
        return;
    case Statement::Kind::Skip:
        skip(s);
        return;
    case Statement::Kind::Replace:
        replace(s);
        return;
    case Statement::Kind::Erase:
        erase(s);
        return;
    case Statement::Kind::Release:
        for (const std::string& name : s.names)
            host_->variables().erase(name);
        return;
    }
}

// All values are worked out first: a statement that raises prints nothing.
void Interpreter::print(const Statement& s)
{
    std::string line;
    for (size_t i = 0; i < s.exprs.size(); ++i)
        line += (i ? " " : "") + Format(evaluate(*s.exprs[i]));
    drainHostOutput();
    if (s.newLine)
        startLine();
    write(line);
}

void Interpreter::select(const Statement& s)
{
    Value a = evaluate(*s.amount);
    if (!IsNumeric(a) || NumberOf(a) < 0 || NumberOf(a) > WorkAreas::kMaxAreas)
        Fail("Invalid work area");
    area_ = static_cast<int>(NumberOf(a));
}

int Interpreter::tableArea(const Statement& s)
{
    int area = area_;
    if (s.area) {
        Value a = evaluate(*s.area);
        if (!IsNumeric(a))
            Fail("Operator/operand type mismatch");
        area = static_cast<int>(NumberOf(a));
    }
    if (!host_->workAreas().has(area))
        Fail("No table is open in the current work area");
    return area;
}

void Interpreter::go(const Statement& s)
{
    WorkAreas& areas = host_->workAreas();
    const int area = tableArea(s);
    const std::vector<int> order = areas.order(area);
    if (s.where == Statement::Where::Top ||
        (s.where == Statement::Where::Bottom && order.empty())) {
        areas.goFirst(area);
    } else if (s.where == Statement::Where::Bottom) {
        areas.go(area, order.back());
    } else {
        Value n = evaluate(*s.amount);
        if (!IsNumeric(n) || !areas.go(area, static_cast<int>(NumberOf(n))))
            Fail("Record is out of range");
    }
}

// As FoxPro: moving on from the end, or back from the beginning, is an error.
void Interpreter::skip(const Statement& s)
{
    WorkAreas& areas = host_->workAreas();
    const int area = tableArea(s);
    int n = 1;
    if (s.amount) {
        Value v = evaluate(*s.amount);
        if (!IsNumeric(v))
            Fail("Operator/operand type mismatch");
        n = static_cast<int>(NumberOf(v));
    }
    const uint32_t flags = areas.positionStatus(area);
    if (n > 0 && (flags & abi::kAtEnd))
        Fail("End of file encountered");
    if (n < 0 && (flags & abi::kAtBeginning))
        Fail("Beginning of file encountered");
    areas.skip(area, n);
}

// At the end of the file there is no record: nothing is written, as in FoxPro.
void Interpreter::replace(const Statement& s)
{
    WorkAreas& areas = host_->workAreas();
    Value v = evaluate(*s.exprs[0]);
    const int area = tableArea(s);
    if (areas.fieldIndex(area, s.names[0]) < 0)
        Fail("Variable '" + s.names[0] + "' is not found");
    if (v.kind != Value::Kind::Character)
        Fail("Data type mismatch");
    if (!(areas.positionStatus(area) & abi::kAtEnd) && !areas.writeMemo(area, s.names[0], v.text))
        Fail("Cannot write the memo file");
}

void Interpreter::erase(const Statement& s)
{
    Value name = evaluate(*s.exprs[0]);
    if (name.kind != Value::Kind::Character)
        Fail("Data type mismatch");
    if (!DeleteFileA(name.text.c_str()))
        Fail("File '" + name.text + "' does not exist");
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
        Fail("Variable '" + e.name + "' is not found");
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
        return Sum(evaluate(*e.args[0]), evaluate(*e.args[1]), e.kind == Expr::Kind::Add ? 1 : -1);
    case Expr::Kind::Negate:
        return Sum(Value::Int(0), evaluate(*e.args[0]), -1);
    }
    return Value();
}

Value Interpreter::call(const std::string& name, std::vector<Value>& args)
{
    BuiltinContext context{*host_, area_};
    Value v;
    if (CallBuiltin(name, args, context, v))
        return v;
    CallResult r = host_->call(name, args);
    if (!r.refused.empty())
        Fail(r.refused);
    if (r.hostError)
        throw Raised{r.hostError, ""};
    if (r.userRaised)
        Fail(trimLineEnds(r.userError));
    return r.results ? r.value : Value::Bool(true);
}

} // namespace fllhost::script
