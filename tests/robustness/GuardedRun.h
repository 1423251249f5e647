#pragma once
// Runs part of a robustness test in a forked child under a time limit, so
// that a crash or hang of the library fails that case, not the whole program.

#include <cctype>
#include <csignal>
#include <cstdio>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include <unistd.h>

namespace batchplant::test {

// The child's report of what did not hold, empty when all did, is its
// standard error; gtest shows it when the case fails.
inline void ExpectGuarded(const std::function<std::string()>& body, unsigned seconds, const std::string& name)
{
    EXPECT_EXIT(
        {
            std::signal(SIGALRM, SIG_DFL);
            ::alarm(seconds);
            const std::string report = body();
            std::fputs(report.c_str(), stderr);
            std::_Exit(report.empty() ? 0 : 1);
        },
        testing::ExitedWithCode(0), "")
        << name;
}

// A case's name as a test name: letters and digits kept, + and - spelled P and M.
template <class Case> std::string ParamName(const testing::TestParamInfo<Case>& info)
{
    std::string name;
    for (char c : info.param.name)
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : c == '+' ? 'P' : c == '-' ? 'M' : '_';
    return name;
}

} // namespace batchplant::test
