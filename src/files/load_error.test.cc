#include "files/load_error.h"

#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

TEST(LoadError, load_error_text_forms_per_kind) {
    using vorn::LoadError;
    using vorn::LoadErrorKind;
    const LoadError io = LoadError::io("No such file or directory (os error 2)");
    EXPECT_EQ(io.kind(), LoadErrorKind::Io);
    EXPECT_EQ(io.text(), std::string("IO error: No such file or directory (os error 2)"));

    const LoadError json = LoadError::json("expected value at line 1 column 1");
    EXPECT_EQ(json.kind(), LoadErrorKind::Json);
    EXPECT_EQ(std::string(json.what()), std::string("JSON parse error: expected value at line 1 column 1"));

    const LoadError version = LoadError::unsupported_version("1.00");
    EXPECT_EQ(version.kind(), LoadErrorKind::UnsupportedVersion);
    EXPECT_EQ(version.text(), std::string("Unsupported vorn version: 1.00"));
    EXPECT_EQ(version.detail(), std::string("1.00"));

    vorn::ValidationReport report;
    report.add_error(vorn::ValidationIssue::self_loop("L1"));
    const LoadError invalid = LoadError::validation(report);
    EXPECT_EQ(invalid.kind(), LoadErrorKind::Validation);
    EXPECT_NE(invalid.report(), nullptr);
    EXPECT_EQ(invalid.report()->errors.size(), 1);
    EXPECT_EQ(io.report(), nullptr);
    // Both "Validation failed:" (the error) and "Validation failed." (the report).
    EXPECT_EQ(invalid.text(), std::string("Validation failed:\nValidation failed.\n\nErrors:\n"
                                          "   - Self-loop detected in link 'L1'\n"));
    EXPECT_EQ(vorn::failed_to_load_message("net.vorn", version),
              std::string("Failed to load net.vorn: Unsupported vorn version: 1.00"));
}

TEST(LoadError, load_error_is_an_operation_error) {
    EXPECT_THAT([] { throw vorn::LoadError::io("x"); },
                ::testing::ThrowsMessage<vorn::OperationError>(::testing::StrEq("IO error: x")));
}
