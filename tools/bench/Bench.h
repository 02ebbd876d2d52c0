#pragma once
// The benchmark program: each bench_<name>.cpp registers one subcommand.

#include <functional>
#include <string>
#include <vector>

using BenchFunction = std::function<int(const std::vector<std::string>& args)>;

struct CBenchRegistration
{
    CBenchRegistration(const char* name, const char* summary, BenchFunction run);
};
