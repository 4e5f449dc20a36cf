#pragma once
// The loops of the ascending series in fixed-size exact arithmetic (limb_float.hpp):
// the same steps as their MPFR versions, in the same order, so the same bits,
// at ordinary precisions without MPFR's per-call overhead. Used by the I_0,
// I_1 and K_0 series. No Python header.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "limb/limb_division.hpp"
#include "limb/limb_bridge.hpp"
#include "bessel/series_stop.hpp"

enum class SeriesOrder { zero, one };  // I_0: divide term k by k^2; I_1: by k(k+1)

// The first terms of an I_0 series, kept for the K_0 series, whose terms T_k
// are the very same values: T_1 = q = term 1 (1 * q / 1 is exact), and both
// go on as T_k = T_(k-1) * q / k^2 with the same roundings. Beyond the record
// the K_0 loop computes them again. 128 covers every series that stops on its
// tolerance below |x| = 25 (about 80 terms at most).
template <int N>
struct TermRecord {
    static constexpr std::size_t capacity = 128;
    std::array<limb_float::Value<N>, capacity> terms;  // terms[k - 1] is term k
    std::size_t count = 0;
};

// The relative stop test for limb_float values: the exponents decide it as in
// ToleranceTest; the rare undecided case goes through MPFR's division. The
// term is never zero in these loops.
template <int N>
class LimbTolerance {
public:
    explicit LimbTolerance(Bits bits) : bits_(bits), exact_(bits) {}

    bool negligible(const limb_float::Value<N>& term, const limb_float::Value<N>& sum) {
        if (sum.zero) {
            return false;  // term / 0 is infinite, never below the tolerance
        }
        GapVerdict verdict =
            judge_exponent_gap(static_cast<long>(term.e), static_cast<long>(sum.e));
        if (verdict != GapVerdict::undecided) {
            return verdict == GapVerdict::negligible;
        }
        if (!term_) {
            term_.emplace(bits_);
            sum_.emplace(bits_);
        }
        limb_float::export_value(*term_, term);
        limb_float::export_value(*sum_, sum);
        return exact_.negligible(*term_, *sum_);
    }

private:
    Bits bits_;
    ToleranceTest exact_;
    std::optional<WorkingValue> term_;
    std::optional<WorkingValue> sum_;
};

// sum_{k>=0} q^k / (k! (k+n)!) for a regular q, as the MPFR loop of
// power_series.cpp computes it. With q regular every term is regular, so the
// loop's zero and NaN stops never apply. Records the terms when asked.
template <int N>
limb_float::Value<N> limb_ascending_sum(const limb_float::Value<N>& q, Bits bits, SeriesOrder order,
                                        TermRecord<N>* record) {
    const limb_float::Format format(static_cast<int>(bits), N);
    limb_float::Value<N> sum = limb_float::one<N>();
    limb_float::Value<N> term = limb_float::one<N>();
    LimbTolerance<N> tolerance(bits);
    LoopPoll poll(bits);
    for (std::uint64_t k = 1; k <= last_series_index; ++k) {
        const limb_float::Divisor<N> divisor = order == SeriesOrder::zero
                                                   ? limb_float::divisor_square<N>(k)
                                                   : limb_float::divisor_pronic<N>(k);
        term = limb_float::div_integer(limb_float::mul(term, q, format), divisor, format);
        sum = limb_float::add(sum, term, format);
        if (record != nullptr && record->count < TermRecord<N>::capacity) {
            record->terms[record->count++] = term;
        }
        if (k >= first_tested_index && tolerance.negligible(term, sum)) {
            break;
        }
        poll.pass(k);
    }
    return sum;
}
