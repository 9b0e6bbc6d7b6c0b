// Running the delivered fllhost.exe as a user does: arguments, standard
// input, a temporary folder and a current folder of the test's choosing,
// with standard output and standard error caught together.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

struct HostRun {
    bool started = false;
    uint32_t status = 0xFFFFFFFF; // fllhost's exit status
    std::string output;           // standard output and standard error, as they came
};

// `temp`, when given, becomes TEMP and TMP; `folder`, when given, the current folder.
HostRun RunFllhost(const std::vector<std::string>& args, const std::string& input = "",
                   const std::string& temp = "", const std::string& folder = "");

} // namespace testing_support
