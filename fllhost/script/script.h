// The interpreter of fllhost's FoxPro subset: runs statements line by line
// against a stand-in host, prints with FoxPro's ? rules on one stream and
// reports errors on another.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "host/host.h"
#include "parser.h"

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
    // must stop.
    bool run(const std::string& line, int number = 0);
    // Runs every line of a program until the end or a stop.
    bool runProgram(std::istream& in);
    // Ends the output line, if one is open.
    void finish();

    int status() const { return status_; }
    Host& host() { return *host_; }
    int area() const { return area_; }

    // A value as ? prints it.
    static std::string Format(const Value& v);

  private:
    void execute(const Statement& s);
    Value evaluate(const Expr& e);
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
};

} // namespace fllhost::script
