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
    explicit Parser(std::vector<Token> tokens) : t_(std::move(tokens)) {}

    Statement statement()
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
        if (first.kind == Token::Kind::Name && peek(1).is("=")) {
            assign(s);
            return s;
        }
        if (isCommand(first, "SELECT")) {
            select(s);
            return s;
        }
        if (first.isWord("GO") || isCommand(first, "GOTO")) {
            go(s);
            return s;
        }
        if (isCommand(first, "SKIP")) {
            skip(s);
            return s;
        }
        if (isCommand(first, "REPLACE")) {
            replace(s);
            return s;
        }
        if (isCommand(first, "STORE")) {
            store(s);
            return s;
        }
        if (isCommand(first, "ERASE")) {
            erase(s);
            return s;
        }
        if (isCommand(first, "RELEASE")) {
            release(s);
            return s;
        }
        if (first.kind == Token::Kind::Name && peek(1).is("(")) {
            evaluate(s, false);
            return s;
        }
        throw SyntaxError("unrecognized command " + describe(first));
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
        take();
        s.exprs.push_back(expression());
        end();
    }

    void store(Statement& s)
    {
        take();
        s.kind = Statement::Kind::Assign;
        s.exprs.push_back(expression());
        if (!peek().isWord("TO"))
            throw SyntaxError("TO expected, found " + describe(peek()));
        take();
        s.names.push_back(name());
        end();
    }

    void select(Statement& s)
    {
        take();
        s.kind = Statement::Kind::Select;
        s.amount = expression();
        end();
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
        end();
    }

    void skip(Statement& s)
    {
        take();
        s.kind = Statement::Kind::Skip;
        if (peek().kind != Token::Kind::End && !peek().isWord("IN"))
            s.amount = expression();
        s.area = areaClause();
        end();
    }

    void replace(Statement& s)
    {
        take();
        s.kind = Statement::Kind::Replace;
        s.names.push_back(name());
        if (!peek().isWord("WITH"))
            throw SyntaxError("WITH expected, found " + describe(peek()));
        take();
        s.exprs.push_back(expression());
        s.area = areaClause();
        end();
    }

    void erase(Statement& s)
    {
        take();
        s.kind = Statement::Kind::Erase;
        s.exprs.push_back(expression());
        end();
    }

    void release(Statement& s)
    {
        take();
        s.kind = Statement::Kind::Release;
        s.names.push_back(name());
        while (accept(","))
            s.names.push_back(name());
        end();
    }

    ExprPtr expression()
    {
        ExprPtr left = unary();
        while (peek().is("+") || peek().is("-")) {
            auto e = std::make_unique<Expr>();
            e->kind = take().text == "+" ? Expr::Kind::Add : Expr::Kind::Subtract;
            e->args.push_back(std::move(left));
            e->args.push_back(unary());
            left = std::move(e);
        }
        return left;
    }

    ExprPtr unary()
    {
        if (accept("-")) {
            auto e = std::make_unique<Expr>();
            e->kind = Expr::Kind::Negate;
            e->args.push_back(unary());
            return e;
        }
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

Statement Parse(const std::string& line)
{
    Statement s;
    const std::string text = trim(line);
    if (text.empty() || text[0] == '*' || upper(text.substr(0, 5)) == "NOTE " ||
        upper(text) == "NOTE")
        return s;
    if (setLibrary(text, s))
        return s;
    return Parser(Tokenize(text)).statement();
}

} // namespace fllhost::script
