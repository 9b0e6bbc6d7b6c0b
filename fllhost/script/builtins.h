// The built-in functions of fllhost's FoxPro subset: texts (LEN, CHR, ASC,
// UPPER, LOWER, LEFT, RIGHT, SUBSTR, AT, STRTRAN, REPLICATE, the trims,
// PADR, PADL, STRCONV, TRANSFORM), numbers (STR, VAL, BITTEST), EMPTY, TYPE,
// DATE, TIME, files (FILETOSTR, STRTOFILE, FILE, ADIR), GETENV, and tables
// (MAKETABLE, RECNO, RECCOUNT, EOF, BOF, SELECT). IIF is the interpreter's.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/host.h"
#include "parser.h"
#include "values.h"

namespace fllhost::script {

struct BuiltinContext {
    Host& host;
    int& area; // the selected work area
    Arrays& arrays;
    std::function<Value(const Expr&)> evaluate; // for TYPE's text
};

// Built-ins whose first argument names an array: the interpreter passes
// that argument as a reference to the name.
bool TakesArray(const std::string& name);

// True, with the result in `out`, when `name` is a built-in; raises on bad arguments.
bool CallBuiltin(const std::string& name, std::vector<Value>& args, BuiltinContext& context,
                 Value& out);

} // namespace fllhost::script
