// Running fllhost's FoxPro subset: statements, blocks (IF, DO WHILE, FOR),
// the preprocessor's #DEFINE and #INCLUDE, expressions, arrays, cursors, the
// built-in functions, calls into the loaded library, and the ? output rules.
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

// The file itself, else a relative name beside the script, the program or
// the library loaded.
std::string Interpreter::findFile(const std::string& path) const
{
    if (fileExists(path))
        return path;
    const bool relative = !(path.size() > 1 && path[1] == ':') && path[0] != '\\' && path[0] != '/';
    std::vector<std::string> folders = folders_;
    const size_t slash = libraryPath_.find_last_of("\\/");
    if (slash != std::string::npos)
        folders.push_back(libraryPath_.substr(0, slash));
    for (const std::string& folder : folders)
        if (relative && fileExists(folder + "\\" + path))
            return folder + "\\" + path;
    return "";
}

std::string Interpreter::findLibrary(const std::string& path) const
{
    std::vector<std::string> names{path};
    const size_t slash = path.find_last_of("\\/");
    const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    if (file.find('.') == std::string::npos)
        names.push_back(path + ".fll");
    for (const std::string& name : names) {
        const std::string found = findFile(name);
        if (!found.empty())
            return found;
    }
    return path;
}

bool Interpreter::setLibrary(const std::string& path)
{
    if (path.empty()) {
        // The library's unload routines run first; what they print is shown.
        host_->unload();
        drainHostOutput();
        libraryPath_.clear();
        aliases_.clear(); // the tables go with the host
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
    const bool loaded = host_->load(found, &error);
    drainHostOutput(); // what the library's load routines printed
    if (!loaded) {
        report("Error: " + error);
        status_ = kStopped;
        return false;
    }
    libraryPath_ = found;
    return true;
}

void Interpreter::quit()
{
    if (!host_->loaded())
        return;
    setLibrary("");
    if (!atLineStart_)
        write("\n");
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
    closeBlocks();
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
        s = Parse(line, &defines_);
        if (s.kind == Statement::Kind::Include)
            return include(s.path);
        if (s.kind == Statement::Kind::Define) {
            define(s);
            return true;
        }
        nest(s);
    } catch (const SyntaxError& e) {
        report("Syntax error" + (number ? " in line " + std::to_string(number) : std::string()) +
               ": " + e.what());
        status_ = kStopped;
        block_.clear();
        open_.clear();
        return false;
    }
    if (!open_.empty() || !block_.empty()) {
        block_.push_back(std::move(s));
        if (!open_.empty())
            return true;
        std::vector<Statement> body;
        body.swap(block_);
        runBlock(body);
    } else {
        attempt(s);
    }
    drainHostOutput();
    return status_ != kStopped;
}

// Keeps track of the blocks a line opens and closes; a line that closes
// nothing open, or an EXIT outside a loop, is a syntax error. A block that
// opens on this line leaves block_ with room for it.
void Interpreter::nest(const Statement& s)
{
    using K = Statement::Kind;
    auto close = [this](K opener, const char* message) {
        if (open_.empty() || open_.back().kind != opener)
            throw SyntaxError(message);
        open_.pop_back();
    };
    auto inLoop = [this] {
        for (const Open& o : open_)
            if (o.kind == K::DoWhile || o.kind == K::For)
                return true;
        return false;
    };
    switch (s.kind) {
    case K::If:
    case K::DoWhile:
    case K::For:
        open_.push_back({s.kind, false});
        return;
    case K::Else:
        if (open_.empty() || open_.back().kind != K::If || open_.back().sawElse)
            throw SyntaxError("ELSE without IF");
        open_.back().sawElse = true;
        return;
    case K::EndIf:
        return close(K::If, "ENDIF without IF");
    case K::EndDo:
        return close(K::DoWhile, "ENDDO without DO WHILE");
    case K::EndFor:
        return close(K::For, "ENDFOR without FOR");
    case K::Exit:
    case K::Loop:
        if (!inLoop())
            throw SyntaxError(s.kind == K::Exit ? "EXIT outside a loop" : "LOOP outside a loop");
        return;
    default:
        return;
    }
}

bool Interpreter::closeBlocks()
{
    if (open_.empty())
        return true;
    using K = Statement::Kind;
    const K kind = open_.back().kind;
    report(std::string("Syntax error: ") + (kind == K::If        ? "IF without ENDIF"
                                            : kind == K::DoWhile ? "DO WHILE without ENDDO"
                                                                 : "FOR without ENDFOR"));
    status_ = kStopped;
    block_.clear();
    open_.clear();
    return false;
}

// A block runs as a list with jumps: a false IF goes past its ELSE (or to
// its ENDIF), ELSE to the ENDIF, a loop's end back to its head, EXIT past
// the loop's end and LOOP to it.
void Interpreter::runBlock(const std::vector<Statement>& body)
{
    using K = Statement::Kind;
    const size_t n = body.size();
    std::vector<size_t> jump(n, n);
    std::vector<size_t> past(n, n); // of an IF: after its ENDIF
    struct Frame {
        size_t at;
        size_t elseAt;
        std::vector<size_t> exits;
    };
    std::vector<Frame> frames;
    for (size_t i = 0; i < n; ++i) {
        const K kind = body[i].kind;
        if (kind == K::If || kind == K::DoWhile || kind == K::For) {
            frames.push_back({i, n, {}});
        } else if (kind == K::Else) {
            frames.back().elseAt = i;
            jump[frames.back().at] = i + 1;
        } else if (kind == K::EndIf) {
            const Frame f = frames.back();
            frames.pop_back();
            jump[f.elseAt < n ? f.elseAt : f.at] = i + 1;
            past[f.at] = i + 1;
        } else if (kind == K::EndDo || kind == K::EndFor) {
            const Frame f = frames.back();
            frames.pop_back();
            jump[i] = f.at;
            jump[f.at] = i + 1;
            for (size_t e : f.exits)
                jump[e] = body[e].kind == K::Exit ? i + 1 : i;
        } else if (kind == K::Exit || kind == K::Loop) {
            for (size_t k = frames.size(); k-- > 0;)
                if (body[frames[k].at].kind != K::If) {
                    frames[k].exits.push_back(i);
                    break;
                }
        }
    }
    std::vector<ForState> loops(n);
    for (size_t pc = 0; pc < n && status_ != kStopped;) {
        const Statement& s = body[pc];
        bool failed = false;
        switch (s.kind) {
        case K::If:
            pc = test(s, failed) ? pc + 1 : failed ? past[pc] : jump[pc];
            break;
        case K::DoWhile:
            pc = test(s, failed) ? pc + 1 : jump[pc];
            break;
        case K::For:
            pc = startFor(s, loops[pc]) ? pc + 1 : jump[pc];
            break;
        case K::EndFor: {
            const size_t head = jump[pc];
            pc = nextFor(body[head], loops[head]) ? head + 1 : pc + 1;
            break;
        }
        case K::Else:
        case K::EndDo:
        case K::Exit:
        case K::Loop:
            pc = jump[pc];
            break;
        case K::EndIf:
            ++pc;
            break;
        default:
            attempt(s);
            drainHostOutput();
            ++pc;
        }
    }
}

void Interpreter::raised(const Raised& r)
{
    report(r.number ? "Error " + std::to_string(r.number) : "Error: " + r.text);
    status_ = std::max(status_, kRaised);
}

void Interpreter::attempt(const Statement& s)
{
    try {
        execute(s);
    } catch (const Raised& r) {
        raised(r);
    }
}

// A condition that raises counts as false, so that a failing loop ends; an
// IF whose condition failed runs neither of its branches.
bool Interpreter::test(const Statement& s, bool& failed)
{
    try {
        return Truth(evaluate(*s.exprs[0]));
    } catch (const Raised& r) {
        raised(r);
        failed = true;
        return false;
    }
}

// The end and the step are worked out once, when the loop starts.
bool Interpreter::startFor(const Statement& s, ForState& state)
{
    try {
        const Value start = evaluate(*s.exprs[0]);
        state.end = evaluate(*s.exprs[1]);
        state.step = s.exprs.size() > 2 ? evaluate(*s.exprs[2]) : Value::Int(1);
        if (!IsNumeric(start) || !IsNumeric(state.end) || !IsNumeric(state.step))
            Fail("Operator/operand type mismatch");
        host_->variables().set(s.names[0], start);
        return NumberOf(state.step) >= 0 ? NumberOf(start) <= NumberOf(state.end)
                                         : NumberOf(start) >= NumberOf(state.end);
    } catch (const Raised& r) {
        raised(r);
        return false;
    }
}

bool Interpreter::nextFor(const Statement& s, const ForState& state)
{
    try {
        const std::optional<Value> current = host_->variables().get(s.names[0]);
        if (!current)
            Fail("Variable '" + s.names[0] + "' is not found");
        const Value v = Sum(*current, state.step, 1);
        host_->variables().set(s.names[0], v);
        return NumberOf(state.step) >= 0 ? NumberOf(v) <= NumberOf(state.end)
                                         : NumberOf(v) >= NumberOf(state.end);
    } catch (const Raised& r) {
        raised(r);
        return false;
    }
}

// The text's own #DEFINEd names are replaced now, so a name may stand for
// an expression of names defined before it.
void Interpreter::define(const Statement& s)
{
    std::vector<Token> tokens;
    for (const Token& t : Tokenize(s.path)) {
        auto it = t.kind == Token::Kind::Name ? defines_.find(t.text) : defines_.end();
        if (it != defines_.end())
            tokens.insert(tokens.end(), it->second.begin(), it->second.end());
        else if (t.kind != Token::Kind::End)
            tokens.push_back(t);
    }
    defines_[s.names[0]] = std::move(tokens);
}

// The lines of a header, usually #DEFINEs, run as if they stood here.
bool Interpreter::include(const std::string& path)
{
    const std::string found = findFile(path);
    std::ifstream in(found.empty() ? path : found, std::ios::binary);
    if (found.empty() || !in) {
        report("Syntax error: cannot open #INCLUDE file " + path);
        status_ = kStopped;
        return false;
    }
    return runProgram(in);
}

bool Interpreter::runProgram(std::istream& in)
{
    std::string line, part;
    int number = 0;
    while (std::getline(in, part)) {
        ++number;
        if (!part.empty() && part.back() == '\r')
            part.pop_back();
        const std::string code = StripComment(part);
        const size_t last = code.find_last_not_of(" \t");
        if (last != std::string::npos && code[last] == ';') {
            line += code.substr(0, last) + " ";
            continue;
        }
        line += part;
        if (!run(line, number))
            return false;
        line.clear();
    }
    if (!line.empty() && !run(line, number))
        return false;
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
        assign(s);
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
        for (const std::string& name : s.names) {
            host_->variables().erase(name);
            arrays_.erase(Variables::normalize(name));
        }
        return;
    case Statement::Kind::Local:
        local(s);
        return;
    case Statement::Kind::CreateCursor:
        createCursor(s);
        return;
    case Statement::Kind::AppendBlank:
        appendBlank(s);
        return;
    case Statement::Kind::Use:
        use(s);
        return;
    default:
        return; // block statements are run by runBlock, directives by run
    }
}

// To an element; to an array's name, every element gets the value (as in
// FoxPro); else to a variable.
void Interpreter::assign(const Statement& s)
{
    Value v = evaluate(*s.exprs[0]);
    if (!s.subscripts.empty() && !s.subscripts[0].empty()) {
        element(s.names[0], s.subscripts[0]) = std::move(v);
        return;
    }
    auto array = arrays_.find(Variables::normalize(s.names[0]));
    if (array != arrays_.end()) {
        for (Value& item : array->second.items)
            item = v;
        return;
    }
    host_->variables().set(s.names[0], std::move(v));
}

// Variables start as .F.; arrays as rows (and columns) of .F.
void Interpreter::local(const Statement& s)
{
    for (size_t i = 0; i < s.names.size(); ++i) {
        const std::string name = Variables::normalize(s.names[i]);
        const std::vector<ExprPtr>& dims = s.subscripts[i];
        if (dims.empty()) {
            arrays_.erase(name);
            host_->variables().set(name, Value::Bool(false));
            continue;
        }
        std::vector<size_t> sizes;
        for (const ExprPtr& d : dims) {
            const Value v = evaluate(*d);
            if (!IsNumeric(v) || NumberOf(v) < 1 || NumberOf(v) > 65000)
                Fail("Array dimensions are invalid");
            sizes.push_back(static_cast<size_t>(NumberOf(v)));
        }
        arrays_[name] = Array::Make(sizes[0], sizes.size() > 1 ? sizes[1] : 0);
        host_->variables().erase(name);
    }
}

void Interpreter::dropAliases(int area)
{
    for (auto it = aliases_.begin(); it != aliases_.end();)
        it = it->second == area ? aliases_.erase(it) : std::next(it);
}

// The cursor opens in the selected work area when it is free, else in the
// lowest free one, and is selected. Its records keep memo fields only: their
// texts live in the host's memo file.
void Interpreter::createCursor(const Statement& s)
{
    const std::string alias = Variables::normalize(s.path);
    auto taken = aliases_.find(alias);
    if (taken != aliases_.end() && host_->workAreas().has(taken->second))
        Fail("Alias name is already in use");
    for (size_t i = 0; i < s.types.size(); ++i)
        if (s.types[i] != "M" && s.types[i] != "MEMO")
            Fail("fllhost keeps memo fields only: field " + s.names[i] + " is " + s.types[i]);
    int area = area_;
    for (int a = 1; host_->workAreas().has(area) && a <= WorkAreas::kMaxAreas; ++a)
        area = a;
    if (host_->workAreas().has(area) || !host_->workAreas().create(area, 0, s.names))
        Fail("Cannot create the cursor " + alias);
    dropAliases(area);
    aliases_[alias] = area;
    area_ = area;
}

void Interpreter::appendBlank(const Statement& s)
{
    host_->workAreas().append(tableArea(s));
}

void Interpreter::use(const Statement& s)
{
    const int area = s.area ? areaOf(*s.area) : area_;
    host_->workAreas().close(area);
    dropAliases(area);
}

// A work area given by number, or by the alias of a cursor.
int Interpreter::areaOf(const Expr& e)
{
    if (e.kind == Expr::Kind::Name) {
        auto it = aliases_.find(e.name);
        if (it != aliases_.end())
            return it->second;
        if (!host_->variables().contains(e.name))
            Fail("Alias '" + e.name + "' is not found");
    }
    const Value v = evaluate(e);
    if (!IsNumeric(v))
        Fail("Operator/operand type mismatch");
    return static_cast<int>(NumberOf(v));
}

Value& Interpreter::element(const std::string& name, const std::vector<ExprPtr>& subscripts)
{
    auto array = arrays_.find(Variables::normalize(name));
    if (array == arrays_.end()) {
        if (host_->variables().contains(name))
            Fail("'" + name + "' is not an array");
        Fail("Variable '" + name + "' is not found");
    }
    size_t at[2] = {0, 0};
    for (size_t i = 0; i < subscripts.size() && i < 2; ++i) {
        const Value v = evaluate(*subscripts[i]);
        if (!IsNumeric(v) || NumberOf(v) < 1)
            Fail("Array dimensions are invalid");
        at[i] = static_cast<size_t>(NumberOf(v));
    }
    if (subscripts.size() > 2)
        Fail("Array dimensions are invalid");
    return array->second.at(at[0], at[1]);
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
    const int a = areaOf(*s.amount);
    if (a < 0 || a > WorkAreas::kMaxAreas)
        Fail("Invalid work area");
    area_ = a;
}

int Interpreter::tableArea(const Statement& s)
{
    const int area = s.area ? areaOf(*s.area) : area_;
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
    case Expr::Kind::Name:
    case Expr::Kind::Field:
    case Expr::Kind::Element:
        return name(e);
    case Expr::Kind::Ref:
        if (!e.variableOnly && host_->workAreas().fieldIndex(area_, e.name) >= 0)
            return Value::MemoRef(area_, e.name);
        return Value::VarRef(e.name);
    case Expr::Kind::Call: {
        if (arrays_.count(e.name))
            return element(e.name, e.args);
        if (e.name == "IIF")
            return choose(e);
        std::vector<Value> args;
        for (const ExprPtr& a : e.args) {
            const bool named = a->kind == Expr::Kind::Name || a->kind == Expr::Kind::Element;
            args.push_back(args.empty() && named && TakesArray(e.name) ? Value::VarRef(a->name)
                                                                       : evaluate(*a));
        }
        return call(e.name, args);
    }
    default:
        return operation(e);
    }
}

// A memo field of the selected work area comes before a variable or an
// array of that name; an array's name alone is its first element.
Value Interpreter::name(const Expr& e)
{
    WorkAreas& areas = host_->workAreas();
    if (e.kind == Expr::Kind::Element)
        return element(e.name, e.args);
    if (e.kind == Expr::Kind::Field) {
        auto alias = aliases_.find(e.alias);
        if (alias == aliases_.end())
            Fail("Alias '" + e.alias + "' is not found");
        if (areas.fieldIndex(alias->second, e.name) < 0)
            Fail("Variable '" + e.name + "' is not found");
        return Value::Text(areas.readMemo(alias->second, e.name).value_or(""));
    }
    if (!e.variableOnly && areas.fieldIndex(area_, e.name) >= 0)
        return Value::Text(areas.readMemo(area_, e.name).value_or(""));
    auto array = arrays_.find(e.name);
    if (array != arrays_.end())
        return array->second.items[0];
    if (auto v = host_->variables().get(e.name))
        return *v;
    Fail("Variable '" + e.name + "' is not found");
}

// Operators; AND and OR look at their right side only when it matters.
Value Interpreter::operation(const Expr& e)
{
    switch (e.kind) {
    case Expr::Kind::Add:
    case Expr::Kind::Subtract:
        return Sum(evaluate(*e.args[0]), evaluate(*e.args[1]), e.kind == Expr::Kind::Add ? 1 : -1);
    case Expr::Kind::Negate:
        return Sum(Value::Int(0), evaluate(*e.args[0]), -1);
    case Expr::Kind::Multiply:
        return Arithmetic('*', evaluate(*e.args[0]), evaluate(*e.args[1]));
    case Expr::Kind::Divide:
        return Arithmetic('/', evaluate(*e.args[0]), evaluate(*e.args[1]));
    case Expr::Kind::Modulo:
        return Arithmetic('%', evaluate(*e.args[0]), evaluate(*e.args[1]));
    case Expr::Kind::Power:
        return Arithmetic('^', evaluate(*e.args[0]), evaluate(*e.args[1]));
    case Expr::Kind::Compare:
        return Compare(e.op, evaluate(*e.args[0]), evaluate(*e.args[1]));
    case Expr::Kind::Not:
        return Value::Bool(!Truth(evaluate(*e.args[0])));
    case Expr::Kind::And:
        return Value::Bool(Truth(evaluate(*e.args[0])) && Truth(evaluate(*e.args[1])));
    case Expr::Kind::Or:
        return Value::Bool(Truth(evaluate(*e.args[0])) || Truth(evaluate(*e.args[1])));
    default:
        return Value();
    }
}

// IIF(condition, a, b) works out only the value it gives, as FoxPro does.
Value Interpreter::choose(const Expr& e)
{
    const char* const invalid = "IIF: function argument value, type, or count is invalid";
    if (e.args.size() != 3)
        Fail(invalid);
    const Value condition = evaluate(*e.args[0]);
    if (condition.kind != Value::Kind::Logical)
        Fail(invalid);
    return evaluate(*e.args[condition.logical ? 1 : 2]);
}

Value Interpreter::call(const std::string& name, std::vector<Value>& args)
{
    BuiltinContext context{*host_, area_, arrays_, [this](const Expr& e) { return evaluate(e); }};
    Value v;
    if (CallBuiltin(name, args, context, v))
        return v;
    if (!host_->loaded())
        Fail("function " + name + " is not built into fllhost, and no library is loaded");
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
