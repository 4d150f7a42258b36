#pragma once

#include <string>

namespace oz::config {

// Why a file operation failed, from its errno, for the operator: the common reasons in Chinese
// ("磁盘已满", "权限不足", "只读文件系统", "文件或文件夹不存在", "打开的文件过多", ...), any other
// in the system's words.
std::string systemReason(int error);

}  // namespace oz::config
