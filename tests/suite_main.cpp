// main() of the test programs that hold several QtTest classes (suite_main.h).
#include "suite_main.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace kestrix::test {

namespace {

constexpr const char* kClassVariable = "KESTRIX_TEST_CLASS";

std::map<std::string, SuiteRun>& Suites()
{
    static std::map<std::string, SuiteRun> suites;
    return suites;
}

int Usage(const char* program, const char* problem)
{
    std::fprintf(stderr, "%s: %s\nusage: %s CLASS [QtTest options and test functions]\nclasses:\n",
                 program, problem, program);
    for (const auto& [name, run] : Suites()) {
        std::fprintf(stderr, "  %s\n", name.c_str());
    }
    return 2;
}

} // namespace

bool RegisterSuite(const char* className, SuiteRun run)
{
    const bool added = Suites().emplace(className, run).second;
    if (!added) {
        std::fprintf(stderr, "test class %s registered twice\n", className);
        std::abort();
    }
    return true;
}

} // namespace kestrix::test

int main(int argc, char** argv)
{
    using namespace kestrix::test;
    const char* program = argc > 0 ? argv[0] : "test";
    if (argc > 1 && std::strcmp(argv[1], "--list") == 0) {
        for (const auto& [name, run] : Suites()) {
            std::printf("%s\n", name.c_str());
        }
        return 0;
    }
    std::vector<char*> args(argv, argv + argc);
    std::string chosen;
    if (argc > 1 && Suites().count(argv[1]) != 0) {
        chosen = argv[1];
        args.erase(args.begin() + 1);
    } else if (const char* inherited = std::getenv(kClassVariable)) {
        chosen = inherited;
    }
    const auto it = Suites().find(chosen);
    if (it == Suites().end()) {
        return Usage(program, chosen.empty() ? "no test class given" : "no such test class");
    }
    ::setenv(kClassVariable, chosen.c_str(), 1);
    int count = int(args.size());
    args.push_back(nullptr);
    return it->second(count, args.data());
}
