#pragma once
// Polls for Ctrl-C from long stretches of native arithmetic that never call
// back into Python. The work between polls is counted in limb operations, so
// the pace follows the precision: at 233 bits a poll every ~65000 operations
// (a few milliseconds), at millions of bits one after every operation. One
// MPFR operation is never interrupted: at millions of limbs a single quotient
// can take seconds.

#include <cstdint>

#include "failure/interrupts.hpp"
#include "precision/working_value.hpp"

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
    // 2^18 limb operations: well under a millisecond of linear operations
    // (mul_ui, add, sub). Quotients cost more per limb: a rho entry at 10^4
    // limbs takes about 10 ms and counts 3 * 10^4, so a poll still comes about
    // every 0.1 s. At 233 bits, one poll per ~2^16 operations costs nothing measurable.
    static constexpr std::uint64_t limbs_between_polls = std::uint64_t{1} << 18;

    std::uint64_t limbs_per_value_;
    std::uint64_t pending_limbs_ = 0;
};
