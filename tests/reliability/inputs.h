// Hostile values of the kinds the library's rows declare, for the fuzzing
// driver: texts of any bytes and of 0 to 64 KiB, paths of every shape,
// integers at and around the 16- and 32-bit limits, references to memo
// fields and to character, numeric and missing variables; and for each
// host-callable function (but the session-end ones) the arguments of one
// call. Paths given to anything that writes or deletes always lie in the
// sandbox; random paths go only to functions that read.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "rng.h"
#include "value.h"

namespace reliability {

using fllhost::Value;

// FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI: no
// dialog of the shell ever waits for a user.
constexpr int32_t kQuietShell = 0x4 | 0x10 | 0x200 | 0x400;
// FOF_ALLOWUNDO sends deleted files to the user's recycle bin, outside the sandbox.
constexpr int32_t kShellUndo = 0x40;

// The variables and memo fields the references name; the driver keeps them.
struct ReferenceTargets {
    std::vector<std::string> variables; // set to values of every kind
    std::vector<std::string> missing;   // never set
    std::vector<int> areas;             // work areas with a table with memo fields
    std::vector<std::string> fields;    // memo field names (and some that do not exist)
};

// Where a path for writing lies. Sources of copies and moves (the work
// folder and A:) and their destinations (the out folder and B:) are kept
// apart: Wine's shell copies a folder into a folder inside it over and over
// (Windows refuses with DE_DESTSUBTREE), which is no fault of the library.
enum class Side { Source, Destination, Either };

class Inputs {
  public:
    // work and out: the folders everything that writes is given, with the
    // diskettes A: and B:; files: a folder of files to read.
    Inputs(Rng& rng, std::string work, std::string out, std::string files,
           ReferenceTargets targets);

    std::string text();                               // any bytes
    std::string readerPath();                         // any path, to read
    std::string writerPath(Side side = Side::Either); // a path inside the sandbox
    std::string nameList(Side side);                  // one to three of them, separated by NULs
    std::string drive(); // a drive argument: letters that exist and do not, any text
    std::string password();
    int32_t integer();
    bool logical() { return rng_.oneIn(2); }
    Value reference();
    Value anything();     // a value of any kind, for '?' parameters
    bool present();       // whether an optional parameter is passed
    int32_t shellFlags(); // random flags, always quiet, never to the recycle bin

    Rng& rng() { return rng_; }

  private:
    size_t length();
    std::string bytes(size_t n);
    std::string segment();

    Rng& rng_;
    std::string work_;
    std::string out_;
    std::string files_;
    ReferenceTargets targets_;
};

// What the driver must do around one call besides passing the arguments.
enum class Guard {
    None,
    KeyWait, // post a message first; hold the keys when the time-out is negative
    Pause,   // M_SLEEP: a pause of a few milliseconds at most, and no result
};

struct Recipe {
    Guard guard = Guard::None;
    int weight = 10; // relative share of the calls
    std::function<std::vector<Value>(Inputs&)> arguments;
};

// Every host-callable function but the session-end ones, by name.
const std::map<std::string, Recipe>& Recipes();
// The session-end functions: never called.
bool EndsTheSession(const std::string& name);

} // namespace reliability
