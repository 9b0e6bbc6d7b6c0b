// The interpreter of fllhost's FoxPro subset: runs statements line by line
// against a stand-in host, prints with FoxPro's ? rules on one stream and
// reports errors on another.
#pragma once

#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/winhandles.h"
#include "parser.h"
#include "values.h"

namespace fllhost::script {

class Interpreter {
  public:
    // Exit statuses of a run.
    static constexpr int kOk = 0;
    static constexpr int kRaised = 1;  // some statement raised an error
    static constexpr int kStopped = 2; // syntax error, or a library that cannot be loaded

    Interpreter(std::ostream& out, std::ostream& err);
    ~Interpreter();

    // Folders searched for a relative SET LIBRARY path after the current
    // one: the script's and the program's.
    void addLibraryFolder(const std::string& folder);
    // Loads a library as SET LIBRARY TO does; false (and status 2) on failure.
    bool setLibrary(const std::string& path);

    // Runs one line (number for messages, 0 for none). False when the run
    // must stop. A line that opens a block (IF, DO WHILE, FOR) is kept with
    // the lines after it until the block is closed; then the block runs.
    bool run(const std::string& line, int number = 0);
    // Runs every line of a program until the end or a stop; a line ending
    // in ";" goes on in the next one.
    bool runProgram(std::istream& in);
    // Ends the output line, if one is open; a block still open is a syntax
    // error.
    void finish();
    // As QUIT: releases the library, whose unload routines run, and ends the
    // line of what they printed.
    void quit();

    int status() const { return status_; }
    Host& host() { return *host_; }
    int area() const { return area_; }

    // A value as ? prints it.
    static std::string Format(const Value& v);

  private:
    struct Open {
        Statement::Kind kind;
        bool sawElse;
    };
    struct ForState {
        Value end;
        Value step;
    };

    void nest(const Statement& s);
    bool closeBlocks();
    void runBlock(const std::vector<Statement>& body);
    void attempt(const Statement& s);
    bool test(const Statement& s, bool& failed);
    bool startFor(const Statement& s, ForState& state);
    bool nextFor(const Statement& s, const ForState& state);
    void define(const Statement& s);
    bool include(const std::string& path);
    std::string findFile(const std::string& path) const;
    void raised(const Raised& r);
    void execute(const Statement& s);
    void assign(const Statement& s);
    void local(const Statement& s);
    void createCursor(const Statement& s);
    void appendBlank(const Statement& s);
    void use(const Statement& s);
    int areaOf(const Expr& e);
    Value& element(const std::string& name, const std::vector<ExprPtr>& subscripts);
    Value name(const Expr& e);
    Value operation(const Expr& e);
    Value evaluate(const Expr& e);
    Value choose(const Expr& e);
    Value call(const std::string& name, std::vector<Value>& args);
    void print(const Statement& s);
    void select(const Statement& s);
    void go(const Statement& s);
    void skip(const Statement& s);
    void replace(const Statement& s);
    void erase(const Statement& s);
    int tableArea(const Statement& s);
    void write(const std::string& text);
    void startLine();
    void report(const std::string& message);
    void drainHostOutput();
    void drawWindow(const TextWindow& w);
    std::string findLibrary(const std::string& path) const;
    void dropAliases(int area);

    std::ostream& out_;
    std::ostream& err_;
    std::unique_ptr<Host> host_;
    std::string libraryPath_;
    std::vector<std::string> folders_;
    int status_ = kOk;
    int area_ = 1;
    bool atLineStart_ = true;
    bool started_ = false;
    bool endedEarly_ = false; // the line was ended for an error message
    Defines defines_;
    Arrays arrays_;
    std::map<std::string, int> aliases_; // CREATE CURSOR's alias -> work area
    std::vector<Statement> block_;       // the lines of a block still open
    std::vector<Open> open_;             // its nesting
    ThreadTimer timer_{100};             // so that key waits come to their time-out
};

} // namespace fllhost::script
