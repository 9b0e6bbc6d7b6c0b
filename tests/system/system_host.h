// The library loaded into the stand-in host for the system families' tests,
// with its module handle for import patches, and short result readers.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host.h"
#include "pe_imports.h"
#include "testdir.h"

namespace system_tests {

using fllhost::CallResult;
using fllhost::Value;

class LoadedLibrary {
  public:
    explicit LoadedLibrary(const std::string& file = "marvo32.fll")
        : path_(testing_support::Deliverable(file))
    {
        loaded_ = host.load(path_, &error_);
        module = GetModuleHandleA(path_.c_str());
    }
    bool loaded() const { return loaded_ && module; }
    const std::string& error() const { return error_; }

    CallResult call(const std::string& name, const std::vector<Value>& args = {})
    {
        return host.call(name, args);
    }

    fllhost::Host host;
    HMODULE module = nullptr;

  private:
    std::string path_;
    std::string error_;
    bool loaded_ = false;
};

// The logical answer of a call that raised nothing and answered once.
inline ::testing::AssertionResult Logical(const CallResult& r, bool expected)
{
    if (r.failed())
        return ::testing::AssertionFailure() << "raised or refused: host error " << r.hostError
                                             << " " << r.userError << " " << r.refused;
    if (r.results != 1 || r.value.kind != Value::Kind::Logical)
        return ::testing::AssertionFailure() << r.results << " results, not one logical";
    if (r.value.logical != expected)
        return ::testing::AssertionFailure() << "answered " << (r.value.logical ? ".T." : ".F.");
    return ::testing::AssertionSuccess();
}

inline std::string Text(const CallResult& r)
{
    EXPECT_FALSE(r.failed()) << r.hostError << " " << r.userError << " " << r.refused;
    EXPECT_EQ(r.results, 1);
    EXPECT_EQ(r.value.kind, Value::Kind::Character);
    return r.value.text;
}

inline int32_t Integer(const CallResult& r)
{
    EXPECT_FALSE(r.failed()) << r.hostError << " " << r.userError << " " << r.refused;
    EXPECT_EQ(r.results, 1);
    EXPECT_EQ(r.value.kind, Value::Kind::Integer);
    return r.value.integer;
}

} // namespace system_tests
