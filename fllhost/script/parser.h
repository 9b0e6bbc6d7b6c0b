// Statements and expressions of fllhost's FoxPro subset, parsed one line at
// a time.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/value.h"
#include "lexer.h"

namespace fllhost::script {

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

struct Expr {
    enum class Kind { Literal, Name, Ref, Call, Add, Subtract, Negate };
    Kind kind = Kind::Literal;
    Value value;               // Literal
    std::string name;          // Name, Ref, Call (upper case)
    bool variableOnly = false; // written m.name: a variable, never a field
    std::vector<ExprPtr> args; // Call; Add / Subtract: two; Negate: one
};

struct Statement {
    enum class Kind {
        Empty,      // blank line or comment
        Print,      // ? a, b   (?? prints without starting a new line)
        Assign,     // name = expr,  STORE expr TO name
        Evaluate,   // = expr,  f(...)
        SetLibrary, // SET LIBRARY TO [path]
        Select,     // SELECT n
        Go,         // GO [TO] n | TOP | BOTTOM [IN area]
        Skip,       // SKIP [n] [IN area]
        Replace,    // REPLACE field WITH expr [IN area]
        Release,    // RELEASE name [, name...]
        Erase,      // ERASE expr (a file name)
    };
    enum class Where { Record, Top, Bottom };
    Kind kind = Kind::Empty;
    bool newLine = true;            // Print
    std::vector<ExprPtr> exprs;     // Print: the values; Assign, Evaluate, Replace: one
    std::vector<std::string> names; // Assign, Replace: the target; Release: the names
    std::string path;               // SetLibrary ("" releases)
    Where where = Where::Record;    // Go
    ExprPtr amount;                 // Go: the record; Skip: the count; Select: the area
    ExprPtr area;                   // IN area, when given
};

// Parses one line; throws SyntaxError.
Statement Parse(const std::string& line);

} // namespace fllhost::script
