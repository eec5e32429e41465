// Entry point of the C++ micro benchmarks; each *.perf.cc registers cases
// with the unit-test registry and prints its own figures.
#include "testing/unit_test.h"

#include <cstdio>
#include <cstring>

namespace vorn::testing {
std::vector<TestCase>& registry() {
    static std::vector<TestCase> cases;
    return cases;
}
void record_failure(const char* file, int line, const std::string& what) {
    std::fprintf(stderr, "%s:%d: %s\n", file, line, what.c_str());
}
}  // namespace vorn::testing

int main(int argc, char** argv) {
    for (const auto& test : vorn::testing::registry()) {
        if (argc > 1 && std::strstr(test.name, argv[1]) == nullptr) continue;
        test.body();
    }
    return 0;
}
