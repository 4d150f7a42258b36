#include "config/system_reason.h"

#include <cerrno>
#include <system_error>

namespace oz::config {

std::string systemReason(int error) {
    switch (error) {
        case ENOSPC:
        case EDQUOT:
            return "磁盘已满";
        case EACCES:
        case EPERM:
            return "权限不足";
        case EROFS:
            return "只读文件系统";
        case ENOENT:
            return "文件或文件夹不存在";
        case EMFILE:
        case ENFILE:
            return "打开的文件过多";
        case EEXIST:
            return "文件已存在";
        case EISDIR:
            return "这是文件夹，不是文件";
        case ENOTDIR:
            return "路径中的一项不是文件夹";
        case ENOTEMPTY:
            return "文件夹不是空的";
        case ENAMETOOLONG:
            return "文件名过长";
        case ELOOP:
            return "符号链接层数过多";
        case EBUSY:
        case ETXTBSY:
            return "文件正被占用";
        case EFBIG:
            return "文件过大";
        case EIO:
            return "磁盘读写出错";
        case ENOMEM:
            return "内存不足";
        case EXDEV:
            return "不能跨文件系统移动";
        default:
            return std::error_code(error, std::generic_category()).message();
    }
}

}  // namespace oz::config
