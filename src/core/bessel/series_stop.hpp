#pragma once
// When the series and the large-argument sum stop, and how often their loops
// look for Ctrl-C. Shared by the power series of I_0 and I_1, the K_0 series
// and the large-argument expansion. No Python header.

#include <cstdint>

#include "core/runtime/interrupts.hpp"
#include "core/precision/working_value.hpp"

// How an ascending series decides that it is done. The rule is a parameter
// of the one loop, so the results rounded to a double and the full-precision
// values run the very same steps and differ only in where they stop.
enum class StopTest {
    tolerance,      // abs(to_double(term / sum)) < 1e-50, the quotient rounded to the working
                    // precision first: a fixed 166 bits, whatever the precision
    relative_bits,  // |term| < 2^-relative_bits |sum|, read from the exponents alone
};

struct SeriesRule {
    StopTest test;
    long relative_bits;                // for StopTest::relative_bits
    std::uint64_t first_tested_index;  // the test is made from this term index on
    std::uint64_t last_index;          // the largest term index
};

constexpr double series_tolerance = 1e-50;

// The rule of the functions that round to a double. The test starts at term
// 11: before it, it would rarely succeed (only for tiny arguments, whose later
// terms are far below the sum's last bit anyway), and skipping it saves its
// division. Only arguments whose ratio test never succeeds (x = -inf, or a
// K_0 series whose sum is NaN) come near the last index, 99999.
constexpr SeriesRule tolerance_rule{StopTest::tolerance, 0, 11, 99999};

// What the exponents of term and sum (2^(e-1) <= |v| < 2^e) tell about the
// tolerance test, before any division.
enum class GapVerdict { negligible, significant, undecided };
GapVerdict judge_exponent_gap(long term_exponent, long sum_exponent);

// Whether the series may stop after term k was added to sum, by `rule`. Most
// of the time the answer is read from the exponents alone (see
// judge_exponent_gap); otherwise the arithmetic forms the quotient.
template <class Arithmetic, class Value>
[[gnu::always_inline]] inline bool series_may_stop(Arithmetic& arithmetic, const SeriesRule& rule, std::uint64_t k,
                     const Value& term, const Value& sum) {
    if (k < rule.first_tested_index) {
        return false;
    }
    const bool regular = arithmetic.is_regular(term) && arithmetic.is_regular(sum);
    if (rule.test == StopTest::relative_bits) {
        // |term| < 2^et <= 2^(es - relative_bits - 1) <= 2^-relative_bits |sum|.
        return regular && arithmetic.exponent(term) <=
                              arithmetic.exponent(sum) - rule.relative_bits - 1;
    }
    if (regular) {
        GapVerdict verdict =
            judge_exponent_gap(arithmetic.exponent(term), arithmetic.exponent(sum));
        if (verdict != GapVerdict::undecided) {
            return verdict == GapVerdict::negligible;
        }
    }
    // A NaN quotient compares false and so does not stop the series.
    return arithmetic.quotient_magnitude(term, sum) < series_tolerance;
}

// Polls for pending signals every 64 passes at small precisions, where a
// pass is so short that a poll on each would be a noticeable share of it, and
// on every pass from 2^14 bits on, where a single pass can take long enough
// for a wait on Ctrl-C to be felt.
// Inline, so that a pass that does not poll calls nothing: an opaque call
// on every pass would make the loops reload their constants from memory.
class LoopPoll {
public:
    explicit LoopPoll(Bits bits);
    void pass(std::uint64_t k) const {
        if ((k & mask_) == 0) [[unlikely]] {
            poll_interrupts();
        }
    }

private:
    std::uint64_t mask_;
};
