#include "files/save_file.h"

#include <cerrno>
#include <string>

#include "files/file_io.h"
#include "files/temp_path.testing.h"
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using vorn::LoadError;
using vorn::LoadErrorKind;
using vorn::test_support::TempPath;

}  // namespace

TEST(SaveFile, save_file_writes_the_document_and_reports_io) {
    TempPath path("saved.vorn");
    vorn::VornFile file;
    file.version = "1.0";
    file.metadata.name = "Lab";
    vorn::save_file(file, path.str());
    EXPECT_EQ(vorn::read_text_file(path.str()),
              std::string("{\n  \"version\": \"1.0\",\n  \"metadata\": {\n    \"name\": \"Lab\"\n  },\n"
                          "  \"nodes\": [],\n  \"links\": []\n}"));
    using ::testing::StrEq;
    EXPECT_THAT(
        [&] { vorn::save_file(file, std::string("/tmp/x\0y", 8)); },
        ::testing::Throws<LoadError>(::testing::AllOf(
            ::testing::Property(&LoadError::kind, LoadErrorKind::Io),
            ::testing::Property(&LoadError::what, StrEq("IO error: file name contained an unexpected NUL byte")))));
    EXPECT_THAT([&] { vorn::save_file(file, "/tmp/vorn_missing_dir/out.vorn"); },
                ::testing::ThrowsMessage<LoadError>(StrEq("IO error: " + vorn::system_error_text(ENOENT))));
}
