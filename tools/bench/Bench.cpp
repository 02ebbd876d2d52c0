#include "Bench.h"

#include <cstdio>
#include <map>

namespace
{
struct BENCH_ENTRY
{
    std::string summary;
    BenchFunction run;
};

std::map<std::string, BENCH_ENTRY>& Registry()
{
    static std::map<std::string, BENCH_ENTRY> registry;
    return registry;
}
} // namespace

CBenchRegistration::CBenchRegistration(const char* name, const char* summary, BenchFunction run)
{
    Registry()[name] = {summary, std::move(run)};
}

int main(int argc, char** argv)
{
    if (argc < 2 || Registry().count(argv[1]) == 0)
    {
        std::fprintf(stderr, "usage: bench <name> [args]\n");
        for (const auto& [name, entry] : Registry())
            std::fprintf(stderr, "  %-10s %s\n", name.c_str(), entry.summary.c_str());
        return 2;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    return Registry()[argv[1]].run(args);
}
