// Statements and expressions of fllhost's FoxPro subset, parsed one line at
// a time. Lines that open or close a block (IF, DO WHILE, FOR and their ends)
// are statements of their own; the interpreter joins them into blocks.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/value.h"
#include "lexer.h"

namespace fllhost::script {

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

struct Expr {
    enum class Kind {
        Literal,
        Name,    // a variable, a memo field of the selected work area, or an array
        Field,   // alias.field
        Element, // name[i] or name[i, j]
        Ref,     // @name
        Call,
        Add,
        Subtract,
        Multiply,
        Divide,
        Modulo,
        Power,
        Negate,
        Compare, // op: = == <> < > <= >=
        Not,
        And,
        Or,
    };
    Kind kind = Kind::Literal;
    Value value;               // Literal
    std::string name;          // Name, Field, Element, Ref, Call (upper case)
    std::string alias;         // Field
    std::string op;            // Compare
    bool variableOnly = false; // written m.name: a variable, never a field
    std::vector<ExprPtr> args; // Call, Element: the arguments; operators: their operands
};

struct Statement {
    enum class Kind {
        Empty,        // blank line or comment
        Print,        // ? a, b   (?? prints without starting a new line)
        Assign,       // name = expr,  name[i] = expr,  STORE expr TO name
        Evaluate,     // = expr,  f(...)
        SetLibrary,   // SET LIBRARY TO [path]
        Select,       // SELECT n | alias
        Go,           // GO [TO] n | TOP | BOTTOM [IN area]
        Skip,         // SKIP [n] [IN area]
        Replace,      // REPLACE field WITH expr [IN area]
        Release,      // RELEASE name [, name...]
        Erase,        // ERASE expr (a file name)
        If,           // IF condition
        Else,         // ELSE
        EndIf,        // ENDIF
        DoWhile,      // DO WHILE condition
        EndDo,        // ENDDO
        For,          // FOR name = start TO end [STEP step]
        EndFor,       // ENDFOR | NEXT [name]
        Exit,         // EXIT: leaves the innermost loop
        Loop,         // LOOP: the innermost loop's next round
        Local,        // LOCAL [ARRAY] name [, name[rows [, columns]]]...
        CreateCursor, // CREATE CURSOR alias (field type [(width [, decimals])], ...)
        AppendBlank,  // APPEND BLANK [IN area]
        Use,          // USE [IN area]: closes the table
        Define,       // #DEFINE name text
        Include,      // #INCLUDE file
    };
    enum class Where { Record, Top, Bottom };
    Kind kind = Kind::Empty;
    bool newLine = true;            // Print
    std::vector<ExprPtr> exprs;     // Print: the values; Assign, Evaluate, Replace, If, DoWhile:
                                    // one; For: start, end [, step]
    std::vector<std::string> names; // Assign, Replace, For, Define: the target; Release, Local:
                                    // the names; CreateCursor: the fields
    std::vector<std::vector<ExprPtr>> subscripts; // Local: dimensions; Assign: the element
    std::vector<std::string> types;               // CreateCursor: each field's type
    std::string path;                             // SetLibrary ("" releases), Include: the file;
                      // Define: the text; CreateCursor, Select: the alias
    Where where = Where::Record; // Go
    ExprPtr amount;              // Go: the record; Skip: the count; Select: the area
    ExprPtr area;                // IN area, when given
};

// #DEFINEd names and the tokens they stand for.
using Defines = std::map<std::string, std::vector<Token>>;

// Parses one line, replacing #DEFINEd names; throws SyntaxError.
Statement Parse(const std::string& line, const Defines* defines = nullptr);

// Parses a text that must be one expression, as TYPE( ) reads it at run time
// (without #DEFINEs); throws SyntaxError.
ExprPtr ParseExpression(const std::string& text);

} // namespace fllhost::script
