// A minimal unit-test harness for the C++ core: TEST registers a case,
// EXPECT_* records failures without stopping the case.
#pragma once

#include <cmath>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace vorn::testing {

struct TestCase {
    const char* name;
    std::function<void()> body;
};

std::vector<TestCase>& registry();
void record_failure(const char* file, int line, const std::string& what);

struct Registrar {
    Registrar(const char* name, std::function<void()> body) { registry().push_back({name, std::move(body)}); }
};

template <class A, class B>
void expect_eq(const A& a, const B& b, const char* sa, const char* sb, const char* file, int line) {
    if (!(a == b)) {
        std::ostringstream out;
        out.precision(17);
        out << sa << " == " << sb << " (" << a << " vs " << b << ")";
        record_failure(file, line, out.str());
    }
}

}  // namespace vorn::testing

#define VORN_CONCAT_INNER(a, b) a##b
#define VORN_CONCAT(a, b) VORN_CONCAT_INNER(a, b)
#define TEST(name)                                                                              \
    static void VORN_CONCAT(test_body_, name)();                                                \
    static ::vorn::testing::Registrar VORN_CONCAT(test_reg_, name)(#name, &VORN_CONCAT(test_body_, name)); \
    static void VORN_CONCAT(test_body_, name)()
#define EXPECT_TRUE(cond) \
    do { if (!(cond)) ::vorn::testing::record_failure(__FILE__, __LINE__, #cond); } while (0)
#define EXPECT_EQ(a, b) ::vorn::testing::expect_eq((a), (b), #a, #b, __FILE__, __LINE__)
#define EXPECT_THROW(stmt, type)                                                               \
    do {                                                                                       \
        bool thrown_ = false;                                                                  \
        try { stmt; } catch (const type&) { thrown_ = true; }                                  \
        if (!thrown_) ::vorn::testing::record_failure(__FILE__, __LINE__, #stmt " throws " #type); \
    } while (0)
