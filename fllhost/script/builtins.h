// The built-in functions of fllhost's FoxPro subset: texts (LEN, CHR,
// STRCONV, TRANSFORM, PADR, PADL, ALLTRIM), numbers (BITTEST), files
// (FILETOSTR, STRTOFILE, FILE, ADIR), GETENV, and tables (MAKETABLE, RECNO,
// RECCOUNT, EOF, BOF, SELECT).
#pragma once

#include <string>
#include <vector>

#include "host/host.h"
#include "values.h"

namespace fllhost::script {

struct BuiltinContext {
    Host& host;
    int& area; // the selected work area
    Arrays& arrays;
};

// Built-ins whose first argument names an array: the interpreter passes
// that argument as a reference to the name.
bool TakesArray(const std::string& name);

// True, with the result in `out`, when `name` is a built-in; raises on bad arguments.
bool CallBuiltin(const std::string& name, std::vector<Value>& args, BuiltinContext& context,
                 Value& out);

} // namespace fllhost::script
