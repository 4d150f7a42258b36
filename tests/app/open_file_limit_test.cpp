#include "app/open_file_limit.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

namespace oz::app {
namespace {

TEST(OpenFileLimitTest, SoftLimitRisesToTheHardLimit) {
    rlimit original{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &original), 0);
    if (original.rlim_max != RLIM_INFINITY && original.rlim_max <= 256) GTEST_SKIP() << "hard limit too low";
    rlimit lowered = original;
    lowered.rlim_cur = 256;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);

    const long raised = raiseOpenFileLimit();
    rlimit now{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &now), 0);
    EXPECT_EQ(now.rlim_cur, original.rlim_max);
    EXPECT_EQ(raised, original.rlim_max == RLIM_INFINITY ? -1 : static_cast<long>(original.rlim_max));
    setrlimit(RLIMIT_NOFILE, &original);
}

}  // namespace
}  // namespace oz::app
