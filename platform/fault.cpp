// The test seam shared by every backend: a hook that tests install to make
// chosen platform calls fail. Without a hook every call goes through. The
// hook is the one piece of process-wide state the platform layer keeps; it
// is atomic so that decoders on other threads may read it while a test
// installs or removes it.
#include <atomic>

#include "platform/platform.h"

namespace {
std::atomic<plat_fault_hook> installed_hook{nullptr};

plat_fault_hook current_hook() { return installed_hook.load(std::memory_order_relaxed); }
}  // namespace

void plat_set_fault_hook(plat_fault_hook hook) { installed_hook.store(hook, std::memory_order_relaxed); }

bool plat_fault_injected(plat_op op) {
    const plat_fault_hook hook = current_hook();
    return hook != nullptr && hook(op, 1) < 1;
}

std::uint32_t plat_fault_read_limit(std::uint32_t requested) {
    const plat_fault_hook hook = current_hook();
    if (hook == nullptr) return requested;
    std::uint32_t allowed = hook(PLAT_OP_READ, requested);
    return allowed < requested ? allowed : requested;
}
