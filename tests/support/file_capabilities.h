#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace oz::test {

// While it exists, the calling thread and the threads it starts meet file permissions as any user
// does, root included: CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH leave the effective set (they stay
// permitted, so the destructor takes them back). Without them nothing changes.
class WithoutFileOverride {
   public:
    WithoutFileOverride() {
        if (::syscall(SYS_capget, &m_header, m_saved) != 0) return;
        __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
        lowered[0].effective &= ~((1U << CAP_DAC_OVERRIDE) | (1U << CAP_DAC_READ_SEARCH));
        m_active = ::syscall(SYS_capset, &m_header, lowered) == 0;
    }
    ~WithoutFileOverride() {
        if (m_active) ::syscall(SYS_capset, &m_header, m_saved);
    }
    WithoutFileOverride(const WithoutFileOverride&) = delete;
    WithoutFileOverride& operator=(const WithoutFileOverride&) = delete;

   private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2] = {};
    bool m_active = false;
};

}  // namespace oz::test
