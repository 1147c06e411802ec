// The test seam shared by every backend: a hook that tests install to make
// chosen platform calls fail. Without a hook every call goes through.
#include "platform/platform.h"

namespace {
plat_fault_hook installed_hook = nullptr;
}

void plat_set_fault_hook(plat_fault_hook hook) { installed_hook = hook; }

bool plat_fault_injected(plat_op op) {
    return installed_hook != nullptr && installed_hook(op, 1) < 1;
}

std::uint32_t plat_fault_read_limit(std::uint32_t requested) {
    if (installed_hook == nullptr) return requested;
    std::uint32_t allowed = installed_hook(PLAT_OP_READ, requested);
    return allowed < requested ? allowed : requested;
}
