// Where the reliability tests find the libraries: in the sandbox of
// sandbox-prefix.sh they are copied to its own drive (there is no Z:).
#pragma once

#include <windows.h>

#include <string>

#include "testdir.h"

namespace reliability {

inline std::string Library(const std::string& name = "marvo32.fll")
{
    char folder[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableA("SANDBOX_LIBRARIES", folder, sizeof folder);
    if (n && n < sizeof folder)
        return std::string(folder) + "\\" + name;
    return testing_support::Deliverable(name);
}

} // namespace reliability
