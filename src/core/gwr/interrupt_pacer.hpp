#pragma once
// Polls for Ctrl-C (or the cancellation of a worker's job) from long stretches
// of native arithmetic that never call back into Python. The work between
// polls is counted in limb operations, so the pace follows the precision: at
// 233 bits a poll every ~65000 operations, at millions of bits one after every
// operation. One MPFR operation is never interrupted, however long it takes
// at millions of limbs (bench/bench_gwr.py shows how long).

#include <cstdint>

#include "core/runtime/interrupts.hpp"
#include "core/precision/working_value.hpp"

class InterruptPacer {
public:
    explicit InterruptPacer(Bits bits) : limbs_per_value_((std::uint64_t{bits} + 63) / 64) {}

    // After `operations` MPFR operations on values of the pacer's precision.
    // May end the call with the KeyboardInterrupt of a signal handler.
    void account(std::uint64_t operations) {
        pending_limbs_ += operations * limbs_per_value_;
        if (pending_limbs_ >= limbs_between_polls) {
            pending_limbs_ = 0;
            poll_interrupts();
        }
    }

private:
    // 2^18 limb operations: a short stretch of linear operations (mul_ui,
    // add, sub), which cost about a limb each. Quotients cost more per limb
    // than they are counted, tens of times more at 10^4 limbs, so polls come
    // that much further apart there but still several times a second. At 233
    // bits one poll per ~2^16 operations is too rare to show in the benchmarks.
    static constexpr std::uint64_t limbs_between_polls = std::uint64_t{1} << 18;

    std::uint64_t limbs_per_value_;
    std::uint64_t pending_limbs_ = 0;
};
