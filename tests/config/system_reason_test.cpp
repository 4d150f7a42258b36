#include "config/system_reason.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace oz::config {
namespace {

// Regression: the system's reasons reached the operator in English ("No space left on device").
TEST(SystemReason, CommonReasonsAreChinese) {
    const std::pair<int, const char*> rows[] = {
        {ENOSPC, "磁盘已满"},           {EACCES, "权限不足"},       {EROFS, "只读文件系统"},
        {ENOENT, "文件或文件夹不存在"}, {EMFILE, "打开的文件过多"}, {ENOTDIR, "路径中的一项不是文件夹"},
    };
    for (const auto& [error, reason] : rows) EXPECT_EQ(systemReason(error), reason) << error;
    EXPECT_EQ(systemReason(EDOM), std::strerror(EDOM));
}

}  // namespace
}  // namespace oz::config
