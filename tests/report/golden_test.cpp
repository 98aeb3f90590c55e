// The three pages of a small fixed company against pages written out by hand.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "golden_company.h"

namespace {

std::string ReadText(const std::string& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

const char* GoldenFile(int kind) {
    return kind == 1 ? "punch_list.htm" : kind == 2 ? "exceptions.htm" : "statistics.htm";
}

class Golden : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tl_golden_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = std::string(tmpl) + "/";
        tl::report::ResetProcessState();
        golden::WriteCompany(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string dir_;
};

TEST_P(Golden, PageMatchesByteForByte) {
    const int kind = GetParam();
    const char* file = GoldenFile(kind);
    const std::string expected = ReadText(std::string(TL_GOLDEN_DIR) + "/" + file);
    ASSERT_FALSE(expected.empty()) << file;
    for (bool rescan : {false, true}) {
        testing::internal::CaptureStdout();
        ASSERT_EQ(golden::RunCompany(dir_, dir_ + "page.htm", kind, rescan), 1);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(ReadText(dir_ + "page.htm"), expected) << file << (rescan ? " (re-scan)" : "");
    }
}

INSTANTIATE_TEST_SUITE_P(Pages, Golden, ::testing::Values(1, 2, 3), [](const auto& info) {
    std::string name = GoldenFile(info.param);
    return name.substr(0, name.find('.'));
});

}  // namespace
