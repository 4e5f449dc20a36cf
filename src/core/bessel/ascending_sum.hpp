#pragma once
// The loop of the ascending series of I_0 and I_1, written once over an
// arithmetic (series_arithmetic.hpp): the MPFR and the fixed-size runs take
// the same steps in the same order, so they give the same bits. Used by
// power_series.cpp and, for the I_0 it is built on, by k0_series.cpp.
// No Python header.

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/bessel/series_stop.hpp"

enum class SeriesOrder { zero, one };  // I_0: divide term k by k^2; I_1: by k(k+1)

// The first terms of an I_0 series, kept for the K_0 series, whose terms T_k
// are the very same values: T_1 = q = term 1 (1 * q / 1 is exact), and both
// go on as T_k = T_(k-1) * q / k^2 with the same roundings. Beyond the record
// the K_0 loop computes them again. 512 covers the I_0 series of every
// argument the fixed sizes serve (about 80 terms at a double's accuracy below
// |x| = 25, a few hundred at 512 bits). Fixed-size values only: a record of
// working values would cost an allocation per term. The slots are left
// uninitialised, so that an unused record costs nothing.
template <class Value>
class TermRecord {
public:
    void keep(const Value& term) {
        if (count_ < capacity) {
            slots_[count_++].term = term;
        }
    }
    // Term k >= 1, or null when it was not kept.
    const Value* term(std::uint64_t k) const {
        return k <= count_ ? &slots_[k - 1].term : nullptr;
    }

private:
    union Slot {
        Slot() {}
        Value term;
    };
    static constexpr std::size_t capacity = 512;
    std::array<Slot, capacity> slots_;
    std::size_t count_ = 0;
};

template <class Value>
struct NoTermRecord {
    void keep(const Value&) {}
    const Value* term(std::uint64_t) const { return nullptr; }
};

// sum_{k>=0} q^k / (k! (k+n)!) for n = 0 or 1, term by term, until `rule`
// stops it. Records the terms in `record`.
template <class Arithmetic, class Record>
typename Arithmetic::Value ascending_sum(Arithmetic& arithmetic,
                                         const typename Arithmetic::Value& q, SeriesOrder order,
                                         const SeriesRule& rule, Record& record) {
    using Value = typename Arithmetic::Value;
    Value sum = arithmetic.one();
    Value term = arithmetic.one();
    LoopPoll poll(arithmetic.bits());
    for (std::uint64_t k = 1; k <= rule.last_index; ++k) {
        const auto divisor = order == SeriesOrder::zero ? arithmetic.square_divisor(k)
                                                        : arithmetic.pronic_divisor(k);
        arithmetic.mul_divide(term, term, q, divisor);
        arithmetic.add(sum, sum, term);
        record.keep(term);
        // Once the sum is NaN it stays NaN (NaN + t), and once q is +inf every
        // term is +inf and so is the sum (1 + inf, then inf + inf): nothing a
        // later pass does can change the value returned. The first case does
        // not arise from the arguments served here; the second is x = -inf,
        // which otherwise runs all 99999 passes. A regular q makes every term
        // regular, so none of this applies to fixed-size values.
        if (arithmetic.is_zero(term) || arithmetic.is_nan(sum) || arithmetic.is_inf(q)) {
            break;
        }
        if (series_may_stop(arithmetic, rule, k, term, sum)) {
            break;
        }
        poll.pass(k);
    }
    return sum;
}
