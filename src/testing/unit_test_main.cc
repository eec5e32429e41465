#include <cstdio>
#include <cstring>

#include "testing/unit_test.h"

namespace vorn::testing {

std::vector<TestCase>& registry() {
    static std::vector<TestCase> cases;
    return cases;
}

namespace {
int failures_in_case = 0;
}

void record_failure(const char* file, int line, const std::string& what) {
    ++failures_in_case;
    std::fprintf(stderr, "  %s:%d: expected %s\n", file, line, what.c_str());
}

}  // namespace vorn::testing

// Runs every registered case (or those whose name contains argv[1]) and ends
// with the line "N passed, N failed".
int main(int argc, char** argv) {
    using namespace vorn::testing;
    int passed = 0, failed = 0;
    for (const TestCase& test : registry()) {
        if (argc > 1 && std::strstr(test.name, argv[1]) == nullptr) continue;
        failures_in_case = 0;
        try {
            test.body();
        } catch (const std::exception& e) {
            record_failure(__FILE__, __LINE__, std::string("no exception, got: ") + e.what());
        }
        if (failures_in_case == 0) {
            ++passed;
        } else {
            ++failed;
            std::fprintf(stderr, "FAILED %s\n", test.name);
        }
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
