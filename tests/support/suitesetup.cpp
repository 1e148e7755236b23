// GoogleTest reports the tests of a suite whose set-up failed (its server did not start, say)
// as skipped, and CTest counts a skipped test as no failure. Linked into every test program, this
// ends the program, failed, at the first such test, before the skip is written.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

class SuiteSetUpGuard : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo& info) override {
        const testing::TestSuite* suite = testing::UnitTest::GetInstance()->current_test_suite();
        if (suite && suite->ad_hoc_test_result().Failed()) {
            std::printf("[  FAILED  ] %s.%s: the suite's set-up failed (see above)\n", info.test_suite_name(),
                        info.name());
            std::fflush(stdout);
            std::_Exit(1);
        }
    }
};

const bool g_guardInstalled = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new SuiteSetUpGuard);
    return true;
}();

} // namespace
