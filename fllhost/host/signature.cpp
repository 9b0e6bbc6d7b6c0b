// Argument checks of the stand-in host.
#include "signature.h"

#include <cctype>
#include <cmath>
#include <limits>

namespace fllhost {

// FoxInfo's type strings are a letter per parameter ("CN" is a character
// and a number); commas and blanks only separate them.
std::vector<ParamSpec> ParseTypes(const std::string& types)
{
    std::vector<ParamSpec> wanted;
    bool optional = false;
    for (char c : types) {
        if (c == '.') {
            optional = true;
        } else if (c != ',' && !std::isspace(static_cast<unsigned char>(c))) {
            wanted.push_back(ParamSpec{
                static_cast<char>(std::toupper(static_cast<unsigned char>(c))), optional});
            optional = false;
        }
    }
    if (optional)
        wanted.push_back(ParamSpec{'?', true});
    return wanted;
}

char KindLetter(Value::Kind kind)
{
    switch (kind) {
    case Value::Kind::Character:
        return 'C';
    case Value::Kind::Integer:
        return 'I';
    case Value::Kind::Number:
        return 'N';
    case Value::Kind::Logical:
        return 'L';
    case Value::Kind::Reference:
        return 'R';
    case Value::Kind::Nothing:
        break;
    }
    return 'U';
}

namespace {

bool integral(double d)
{
    return std::floor(d) == d && d >= std::numeric_limits<int32_t>::min() &&
           d <= std::numeric_limits<int32_t>::max();
}

// Whether the argument fits what the row wants, converting a whole number to an integer.
bool fits(const ParamSpec& want, Value& arg)
{
    if (arg.kind == Value::Kind::Nothing)
        return false;
    if (want.kind == '?' || want.kind == KindLetter(arg.kind))
        return true;
    if (want.kind == 'I' && arg.kind == Value::Kind::Number && integral(arg.number)) {
        arg = Value::Int(static_cast<int32_t>(arg.number));
        return true;
    }
    if (want.kind == 'N' && arg.kind == Value::Kind::Integer) {
        arg = Value::Num(arg.integer);
        return true;
    }
    return false;
}

} // namespace

std::string CheckArguments(const std::string& name, uint16_t count, const std::string& types,
                           std::vector<Value>& args)
{
    std::vector<ParamSpec> wanted = ParseTypes(types);
    wanted.resize(count);
    size_t required = 0;
    for (size_t i = 0; i < wanted.size(); ++i)
        if (!wanted[i].optional)
            required = i + 1;
    const std::string given = std::to_string(args.size());
    if (args.size() > wanted.size())
        return name + ": too many arguments (" + given + " passed, at most " +
               std::to_string(wanted.size()) + ")";
    if (args.size() < required)
        return name + ": too few arguments (" + given + " passed, " + std::to_string(required) +
               " required)";
    for (size_t i = 0; i < args.size(); ++i)
        if (!fits(wanted[i], args[i]))
            return name + ": argument " + std::to_string(i + 1) + " must be " + wanted[i].kind +
                   ", not " + KindLetter(args[i].kind);
    return "";
}

} // namespace fllhost
