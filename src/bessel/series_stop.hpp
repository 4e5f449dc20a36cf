#pragma once
// When the series and the large-argument sum stop, and how often their loops
// look for Ctrl-C. Shared by the power series of I0 and I1, the K0 series and
// the large-argument expansion. No Python header.

#include <cstdint>
#include <optional>

#include "precision/working_value.hpp"

// A series stops once term/sum, rounded to a double, falls below this.
constexpr double series_tolerance = 1e-50;
// The relative test is made from this term index on. Before it the test
// would rarely succeed (only for tiny arguments, whose later terms are far
// below the sum's last bit anyway), and skipping it saves its division.
constexpr std::uint64_t first_tested_index = 11;
// Largest term index of any series. Only arguments whose ratio test never
// succeeds (x = -inf, or a K0 series whose sum is NaN) come near it.
constexpr std::uint64_t last_series_index = 99999;

// What the exponents of term and sum (2^(e-1) <= |v| < 2^e) tell about the
// relative stop test, before any division.
enum class GapVerdict { negligible, significant, undecided };
GapVerdict judge_exponent_gap(long term_exponent, long sum_exponent);

// The relative stop test: abs(to_double(term / sum)) < 1e-50, the quotient
// rounded to `bits` first. Most of the time the answer is read from the
// exponents alone (see the definition); otherwise the quotient is formed in a
// scratch value made on first need and reused by later passes.
class ToleranceTest {
public:
    explicit ToleranceTest(Bits bits) : bits_(bits) {}
    bool negligible(const WorkingValue& term, const WorkingValue& sum);

private:
    Bits bits_;
    std::optional<WorkingValue> quotient_;
};

// Polls for pending signals every `stride` passes: every 64 passes at small
// precisions, where a pass costs well under a microsecond, and on every pass
// from 2^14 bits on, where a single pass can take long enough to matter.
class LoopPoll {
public:
    explicit LoopPoll(Bits bits);
    void pass(std::uint64_t k) const;

private:
    std::uint64_t mask_;
};
