// Recursive-descent parser of one line of fllhost's FoxPro subset.
#include "parser.h"

#include <cctype>

namespace fllhost::script {

namespace {

std::string trim(const std::string& s)
{
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a])))
        ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1])))
        --b;
    return s.substr(a, b - a);
}

std::string upper(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// FoxPro accepts any abbreviation of a command word down to four letters.
bool isCommand(const Token& t, const std::string& word)
{
    return t.kind == Token::Kind::Name && t.text.size() >= std::min<size_t>(4, word.size()) &&
           word.compare(0, t.text.size(), t.text) == 0;
}

ExprPtr literal(Value v)
{
    auto e = std::make_unique<Expr>();
    e->value = std::move(v);
    return e;
}

class Parser {
  public:
    Parser(const std::vector<Token>& tokens, const Defines* defines)
    {
        for (const Token& t : tokens) {
            // m.name and alias.field keep their names.
            const bool named =
                defines && t.kind == Token::Kind::Name && (t_.empty() || !t_.back().is("."));
            auto it = named ? defines->find(t.text) : Defines::const_iterator();
            if (named && it != defines->end())
                t_.insert(t_.end(), it->second.begin(), it->second.end());
            else
                t_.push_back(t);
        }
    }

    Statement statement();

    ExprPtr wholeExpression()
    {
        ExprPtr e = expression();
        end();
        return e;
    }

    // name(...) = value assigns to an array element, as in FoxPro.
    bool assignsElement() const
    {
        int depth = 0;
        for (size_t k = i_ + 1; k < t_.size(); ++k) {
            if (t_[k].is("("))
                ++depth;
            else if (t_[k].is(")") && --depth == 0)
                return k + 1 < t_.size() && t_[k + 1].is("=");
        }
        return false;
    }

  private:
    const Token& peek(size_t ahead = 0) const { return t_[std::min(i_ + ahead, t_.size() - 1)]; }
    const Token& take() { return t_[i_ < t_.size() - 1 ? i_++ : i_]; }
    bool accept(const char* symbol)
    {
        if (!peek().is(symbol))
            return false;
        ++i_;
        return true;
    }
    void expect(const char* symbol)
    {
        if (!accept(symbol))
            throw SyntaxError(std::string("'") + symbol + "' expected, found " + describe(peek()));
    }
    static std::string describe(const Token& t)
    {
        return t.kind == Token::Kind::End ? "end of line" : "'" + t.text + "'";
    }
    std::string name()
    {
        if (peek().kind != Token::Kind::Name)
            throw SyntaxError("name expected, found " + describe(peek()));
        return take().text;
    }
    void end()
    {
        if (peek().kind != Token::Kind::End)
            throw SyntaxError("unexpected " + describe(peek()));
    }
    ExprPtr areaClause()
    {
        if (!peek().isWord("IN"))
            return nullptr;
        take();
        return expression();
    }

    void print(Statement& s)
    {
        s.kind = Statement::Kind::Print;
        s.newLine = take().text == "?";
        if (peek().kind != Token::Kind::End) {
            s.exprs.push_back(expression());
            while (accept(","))
                s.exprs.push_back(expression());
        }
        end();
    }

    void evaluate(Statement& s, bool skipEquals = true)
    {
        if (skipEquals)
            take();
        s.kind = Statement::Kind::Evaluate;
        s.exprs.push_back(expression());
        end();
    }

    void assign(Statement& s)
    {
        s.kind = Statement::Kind::Assign;
        s.names.push_back(take().text);
        s.subscripts.emplace_back();
        if (accept("["))
            s.subscripts.back() = list("]");
        else if (accept("("))
            s.subscripts.back() = list(")");
        expect("=");
        s.exprs.push_back(expression());
        end();
    }

    struct Command {
        const char* word;
        const char* second; // a second word that must follow, or nullptr
        bool exact;         // the word in full (no abbreviation)
        void (Parser::*parse)(Statement&);

        bool matches(const Parser& p) const
        {
            const Token& t = p.peek();
            if (!(exact ? t.isWord(word) : isCommand(t, word)))
                return false;
            return !second || isCommand(p.peek(1), second);
        }
    };
    static const Command kCommands[];

    void select(Statement& s)
    {
        take();
        s.kind = Statement::Kind::Select;
        s.amount = expression();
    }

    void go(Statement& s)
    {
        take();
        s.kind = Statement::Kind::Go;
        if (peek().isWord("TO"))
            take();
        if (isCommand(peek(), "TOP")) {
            take();
            s.where = Statement::Where::Top;
        } else if (isCommand(peek(), "BOTTOM")) {
            take();
            s.where = Statement::Where::Bottom;
        } else {
            s.amount = expression();
        }
        s.area = areaClause();
    }

    void skip(Statement& s)
    {
        take();
        s.kind = Statement::Kind::Skip;
        if (peek().kind != Token::Kind::End && !peek().isWord("IN"))
            s.amount = expression();
        s.area = areaClause();
    }

    void replace(Statement& s)
    {
        take();
        s.kind = Statement::Kind::Replace;
        s.names.push_back(name());
        word("WITH");
        s.exprs.push_back(expression());
        s.area = areaClause();
    }

    void store(Statement& s)
    {
        take();
        s.kind = Statement::Kind::Assign;
        s.exprs.push_back(expression());
        word("TO");
        s.names.push_back(name());
        s.subscripts.emplace_back();
    }

    void erase(Statement& s)
    {
        take();
        s.kind = Statement::Kind::Erase;
        s.exprs.push_back(expression());
    }

    void release(Statement& s)
    {
        take();
        s.kind = Statement::Kind::Release;
        s.names.push_back(name());
        while (accept(","))
            s.names.push_back(name());
    }

    void ifStatement(Statement& s)
    {
        take();
        s.kind = Statement::Kind::If;
        s.exprs.push_back(expression());
    }

    void doWhile(Statement& s)
    {
        take();
        take();
        s.kind = Statement::Kind::DoWhile;
        s.exprs.push_back(expression());
    }

    void forStatement(Statement& s)
    {
        take();
        s.kind = Statement::Kind::For;
        s.names.push_back(name());
        expect("=");
        s.exprs.push_back(expression());
        word("TO");
        s.exprs.push_back(expression());
        if (peek().isWord("STEP")) {
            take();
            s.exprs.push_back(expression());
        }
    }

    void next(Statement& s)
    {
        take();
        s.kind = Statement::Kind::EndFor;
        if (peek().kind == Token::Kind::Name)
            s.names.push_back(take().text);
    }

    void local(Statement& s)
    {
        take();
        s.kind = Statement::Kind::Local;
        if (isCommand(peek(), "ARRAY"))
            take();
        do {
            s.names.push_back(name());
            s.subscripts.emplace_back();
            if (accept("[")) {
                s.subscripts.back() = list("]");
            } else if (accept("(")) {
                s.subscripts.back() = list(")");
            }
            if (s.subscripts.back().size() > 2)
                throw SyntaxError("an array has one or two dimensions");
        } while (accept(","));
    }

    void createCursor(Statement& s)
    {
        take();
        take();
        s.kind = Statement::Kind::CreateCursor;
        s.path = name();
        expect("(");
        do {
            s.names.push_back(name());
            s.types.push_back(name());
            if (accept("(")) {
                list(")");
            }
        } while (accept(","));
        expect(")");
    }

    void appendBlank(Statement& s)
    {
        take();
        take();
        s.kind = Statement::Kind::AppendBlank;
        s.area = areaClause();
    }

    void use(Statement& s)
    {
        take();
        s.kind = Statement::Kind::Use;
        s.area = areaClause();
    }

    template <Statement::Kind K> void single(Statement& s)
    {
        take();
        s.kind = K;
    }

    void word(const char* w)
    {
        if (!peek().isWord(w))
            throw SyntaxError(std::string(w) + " expected, found " + describe(peek()));
        take();
    }

    // Expressions up to `close`, separated by commas; at least one.
    std::vector<ExprPtr> list(const char* close)
    {
        std::vector<ExprPtr> out;
        out.push_back(expression());
        while (accept(","))
            out.push_back(expression());
        expect(close);
        return out;
    }

    static ExprPtr node(Expr::Kind kind, ExprPtr left, ExprPtr right = nullptr)
    {
        auto e = std::make_unique<Expr>();
        e->kind = kind;
        e->args.push_back(std::move(left));
        if (right)
            e->args.push_back(std::move(right));
        return e;
    }

    // FoxPro's order: OR, AND, NOT, comparisons, + -, * / %, ^, signs.
    ExprPtr expression()
    {
        ExprPtr left = conjunction();
        while (peek().isWord("OR")) {
            take();
            left = node(Expr::Kind::Or, std::move(left), conjunction());
        }
        return left;
    }

    ExprPtr conjunction()
    {
        ExprPtr left = negation();
        while (peek().isWord("AND")) {
            take();
            left = node(Expr::Kind::And, std::move(left), negation());
        }
        return left;
    }

    ExprPtr negation()
    {
        if (peek().isWord("NOT") || peek().is("!")) {
            take();
            return node(Expr::Kind::Not, negation());
        }
        return comparison();
    }

    ExprPtr comparison()
    {
        ExprPtr left = sum();
        static const char* const kOps[] = {"=", "==", "<>", "#", "!=", "<", ">", "<=", ">="};
        for (const char* op : kOps)
            if (peek().is(op)) {
                take();
                ExprPtr e = node(Expr::Kind::Compare, std::move(left), sum());
                e->op = op[0] == '#' || op[0] == '!' ? "<>" : op;
                return e;
            }
        return left;
    }

    ExprPtr sum()
    {
        ExprPtr left = product();
        while (peek().is("+") || peek().is("-")) {
            const Expr::Kind kind = take().text == "+" ? Expr::Kind::Add : Expr::Kind::Subtract;
            left = node(kind, std::move(left), product());
        }
        return left;
    }

    ExprPtr product()
    {
        ExprPtr left = power();
        while (peek().is("*") || peek().is("/") || peek().is("%")) {
            const std::string op = take().text;
            const Expr::Kind kind = op == "*"   ? Expr::Kind::Multiply
                                    : op == "/" ? Expr::Kind::Divide
                                                : Expr::Kind::Modulo;
            left = node(kind, std::move(left), power());
        }
        return left;
    }

    ExprPtr power()
    {
        ExprPtr left = unary();
        while (peek().is("^") || peek().is("**")) {
            take();
            left = node(Expr::Kind::Power, std::move(left), unary());
        }
        return left;
    }

    ExprPtr unary()
    {
        if (accept("-"))
            return node(Expr::Kind::Negate, unary());
        accept("+");
        return primary();
    }

    ExprPtr primary()
    {
        const Token t = take();
        switch (t.kind) {
        case Token::Kind::String:
            return literal(Value::Text(t.text));
        case Token::Kind::Integer:
            return literal(Value::Int(static_cast<int32_t>(t.number)));
        case Token::Kind::Decimal:
            return literal(Value::Num(t.number, static_cast<uint32_t>(t.decimals)));
        case Token::Kind::Logical:
            return literal(Value::Bool(t.logical));
        case Token::Kind::Name:
            return named(t.text);
        default:
            break;
        }
        if (t.is("("))
            return parenthesized();
        if (t.is("@")) {
            auto e = std::make_unique<Expr>();
            e->kind = Expr::Kind::Ref;
            e->name = variableName(e->variableOnly);
            return e;
        }
        throw SyntaxError("value expected, found " + describe(t));
    }

    ExprPtr parenthesized()
    {
        ExprPtr e = expression();
        expect(")");
        return e;
    }

    // m.name names a memory variable even where a field has that name.
    std::string variableName(bool& variableOnly)
    {
        std::string n = name();
        if (n == "M" && accept(".")) {
            variableOnly = true;
            return name();
        }
        return n;
    }

    ExprPtr named(const std::string& first)
    {
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Kind::Name;
        e->name = first;
        if (first == "M" && accept(".")) {
            e->variableOnly = true;
            e->name = name();
            return e;
        }
        if (accept("[")) {
            e->kind = Expr::Kind::Element;
            e->args = list("]");
            return e;
        }
        if (peek().is(".") && peek(1).kind == Token::Kind::Name) {
            take();
            e->kind = Expr::Kind::Field;
            e->alias = first;
            e->name = take().text;
            return e;
        }
        if (!accept("("))
            return e;
        e->kind = Expr::Kind::Call;
        if (!accept(")")) {
            e->args.push_back(expression());
            while (accept(","))
                e->args.push_back(expression());
            expect(")");
        }
        return e;
    }

    std::vector<Token> t_;
    size_t i_ = 0;
};

using K = Statement::Kind;
const Parser::Command Parser::kCommands[] = {
    {"SELECT", nullptr, false, &Parser::select},
    {"GO", nullptr, true, &Parser::go},
    {"GOTO", nullptr, false, &Parser::go},
    {"SKIP", nullptr, false, &Parser::skip},
    {"REPLACE", nullptr, false, &Parser::replace},
    {"STORE", nullptr, false, &Parser::store},
    {"ERASE", nullptr, false, &Parser::erase},
    {"RELEASE", nullptr, false, &Parser::release},
    {"IF", nullptr, true, &Parser::ifStatement},
    {"ELSE", nullptr, true, &Parser::single<K::Else>},
    {"ENDIF", nullptr, false, &Parser::single<K::EndIf>},
    {"DO", "WHILE", true, &Parser::doWhile},
    {"ENDDO", nullptr, false, &Parser::single<K::EndDo>},
    {"FOR", nullptr, true, &Parser::forStatement},
    {"ENDFOR", nullptr, false, &Parser::next},
    {"NEXT", nullptr, true, &Parser::next},
    {"EXIT", nullptr, true, &Parser::single<K::Exit>},
    {"LOOP", nullptr, true, &Parser::single<K::Loop>},
    {"LOCAL", nullptr, true, &Parser::local},
    {"CREATE", "CURSOR", false, &Parser::createCursor},
    {"APPEND", "BLANK", false, &Parser::appendBlank},
    {"USE", nullptr, true, &Parser::use},
};

Statement Parser::statement()
{
    Statement s;
    const Token& first = peek();
    if (first.kind == Token::Kind::End)
        return s;
    if (first.is("?") || first.is("??")) {
        print(s);
        return s;
    }
    if (first.is("=")) {
        evaluate(s);
        return s;
    }
    if (first.kind == Token::Kind::Name &&
        (peek(1).is("=") || peek(1).is("[") || (peek(1).is("(") && assignsElement()))) {
        assign(s);
        return s;
    }
    for (const Command& c : kCommands)
        if (c.matches(*this)) {
            (this->*c.parse)(s);
            end();
            return s;
        }
    if (first.kind == Token::Kind::Name && peek(1).is("(")) {
        evaluate(s, false);
        return s;
    }
    throw SyntaxError("unrecognized command " + describe(first));
}

// #DEFINE name text and #INCLUDE file, read as FoxPro's preprocessor does:
// the text of a #DEFINE is the rest of the line.
bool directive(const std::string& text, Statement& s)
{
    if (text[0] != '#')
        return false;
    const std::string line = trim(StripComment(text.substr(1)));
    const size_t gap = std::min(line.find_first_of(" \t"), line.size());
    const std::string word = upper(line.substr(0, gap));
    std::string rest = trim(line.substr(gap));
    if (word == "DEFINE") {
        const size_t nameEnd = std::min(rest.find_first_of(" \t"), rest.size());
        const std::string name = upper(rest.substr(0, nameEnd));
        const std::vector<Token> t = Tokenize(name);
        if (t.size() != 2 || t[0].kind != Token::Kind::Name)
            throw SyntaxError("#DEFINE needs a name");
        s.kind = Statement::Kind::Define;
        s.names.push_back(name);
        s.path = trim(rest.substr(nameEnd));
        Tokenize(s.path);
        return true;
    }
    if (word == "INCLUDE") {
        if (rest.size() >= 2 && (rest[0] == '"' || rest[0] == '\'' || rest[0] == '[')) {
            const char close = rest[0] == '[' ? ']' : rest[0];
            if (rest.back() != close)
                throw SyntaxError("unterminated string");
            rest = rest.substr(1, rest.size() - 2);
        }
        if (rest.empty())
            throw SyntaxError("#INCLUDE needs a file name");
        s.kind = Statement::Kind::Include;
        s.path = rest;
        return true;
    }
    throw SyntaxError("unknown directive #" + word);
}

// SET LIBRARY TO takes the rest of the line as a path, as FoxPro does.
bool setLibrary(const std::string& line, Statement& s)
{
    // The words before the path are read as words: the path need not be a token.
    const std::string text = trim(StripComment(line));
    std::vector<Token> words;
    size_t at = 0;
    while (words.size() < 3) {
        const size_t end = std::min(text.find_first_of(" \t", at), text.size());
        Token w;
        w.kind = at < end ? Token::Kind::Name : Token::Kind::End;
        w.text = upper(text.substr(at, end - at));
        words.push_back(w);
        at = std::min(text.find_first_not_of(" \t", end), text.size());
    }
    if (!isCommand(words[0], "SET") || !isCommand(words[1], "LIBRARY"))
        return false;
    s.kind = Statement::Kind::SetLibrary;
    if (words[2].kind == Token::Kind::End)
        return true;
    if (!words[2].isWord("TO"))
        throw SyntaxError("SET LIBRARY TO expected");
    std::string rest = trim(text.substr(at));
    const std::string up = upper(rest);
    if (up.size() >= 9 && up.compare(up.size() - 9, 9, " ADDITIVE") == 0)
        rest = trim(rest.substr(0, rest.size() - 9));
    if (rest.size() >= 2 && (rest[0] == '"' || rest[0] == '\'' || rest[0] == '[')) {
        const char close = rest[0] == '[' ? ']' : rest[0];
        if (rest.back() != close)
            throw SyntaxError("unterminated string");
        rest = rest.substr(1, rest.size() - 2);
    }
    s.path = rest;
    return true;
}

} // namespace

Statement Parse(const std::string& line, const Defines* defines)
{
    Statement s;
    const std::string text = trim(line);
    if (text.empty() || text[0] == '*' || upper(text.substr(0, 5)) == "NOTE " ||
        upper(text) == "NOTE")
        return s;
    if (directive(text, s) || setLibrary(text, s))
        return s;
    return Parser(Tokenize(text), defines).statement();
}

ExprPtr ParseExpression(const std::string& text)
{
    return Parser(Tokenize(text), nullptr).wholeExpression();
}

} // namespace fllhost::script
