// Platform calls counted, or made to fail, through the platform's fault hook.
// Header only: it needs the core's platform layer, which only the tests that
// link the static core have.
#ifndef VELMORA_TEST_FAULT_PLAN_H
#define VELMORA_TEST_FAULT_PLAN_H

#include <climits>
#include <cstdint>

#include "platform/platform.h"

// Installs the hook while it lives: counts every call by operation and fails
// the chosen ones. One plan at a time.
class fault_plan {
public:
    fault_plan() {
        for (op_plan &p : plans()) p = op_plan{};
        plat_set_fault_hook(decide);
    }
    ~fault_plan() { plat_set_fault_hook(nullptr); }
    fault_plan(const fault_plan &) = delete;
    fault_plan &operator=(const fault_plan &) = delete;

    // Fails the calls of op numbered first .. first + count - 1, counted from
    // now and from 0. A failed read delivers nothing.
    void fail(plat_op op, int first = 0, int count = INT_MAX) {
        plans()[op].first_failing = plans()[op].seen + first;
        plans()[op].failures = count;
    }

    // Calls of op seen since the plan was made.
    int calls(plat_op op) const { return plans()[op].seen; }

private:
    struct op_plan {
        int seen = 0;
        int first_failing = INT_MAX;
        int failures = 0;
    };

    static op_plan (&plans())[PLAT_OP_COUNT] {
        static op_plan all[PLAT_OP_COUNT];
        return all;
    }

    static std::uint32_t decide(plat_op op, std::uint32_t requested) {
        op_plan &p = plans()[op];
        const int call = p.seen++;
        const bool fails = call >= p.first_failing && call - p.first_failing < p.failures;
        return fails ? 0 : requested;
    }
};

#endif  // VELMORA_TEST_FAULT_PLAN_H
