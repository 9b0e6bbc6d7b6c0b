// The built-in functions of fllhost's FoxPro subset: texts (LEN, CHR,
// STRCONV), files (FILETOSTR, STRTOFILE, FILE), GETENV, and tables
// (MAKETABLE, RECNO, RECCOUNT, EOF, BOF, SELECT).
#pragma once

#include <string>
#include <vector>

#include "host/host.h"

namespace fllhost::script {

struct BuiltinContext {
    Host& host;
    int& area; // the selected work area
};

// True, with the result in `out`, when `name` is a built-in; raises on bad arguments.
bool CallBuiltin(const std::string& name, std::vector<Value>& args, BuiltinContext& context,
                 Value& out);

} // namespace fllhost::script
