#pragma once
// Working values: one MPFR number with exactly one owner, at an explicit
// precision. Every MPFR call of the module goes through the wrappers here, so
// round-to-nearest is written in this file only. No Python header.

#include <cstdint>  // before mpfr.h, which declares the intmax_t functions only then
#include <mpfr.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

using Bits = std::uint32_t;  // a working precision: 1 ... 4294967295

class WorkingValue {
public:
    // NaN until set.
    explicit WorkingValue(Bits bits) : value_(new std::remove_pointer_t<mpfr_ptr>) {
        mpfr_init2(value_.get(), static_cast<mpfr_prec_t>(bits));
    }
    WorkingValue(WorkingValue&&) noexcept = default;
    WorkingValue& operator=(WorkingValue&&) noexcept = default;
    WorkingValue(const WorkingValue&) = delete;  // copies are explicit: set() or copy_at()
    WorkingValue& operator=(const WorkingValue&) = delete;

    // The mpfr_t lives behind a pointer so that a move is a pointer move:
    // moving the struct itself would mean touching MPFR's private fields.
    mpfr_ptr get() noexcept { return value_.get(); }
    mpfr_srcptr get() const noexcept { return value_.get(); }
    Bits bits() const;

private:
    struct Clear {
        void operator()(mpfr_ptr p) const noexcept {
            mpfr_clear(p);
            delete p;
        }
    };
    std::unique_ptr<std::remove_pointer_t<mpfr_ptr>, Clear> value_;
};

using ValueVector = std::vector<WorkingValue>;

constexpr mpfr_rnd_t nearest = MPFR_RNDN;

// d = s (rounded into d's precision). Sets never touch the source.
inline void set(WorkingValue& d, const WorkingValue& s) { mpfr_set(d.get(), s.get(), nearest); }
inline void set_si(WorkingValue& d, long v) { mpfr_set_si(d.get(), v, nearest); }
inline void set_ui(WorkingValue& d, unsigned long v) { mpfr_set_ui(d.get(), v, nearest); }
inline void set_uj(WorkingValue& d, std::uintmax_t v) { mpfr_set_uj(d.get(), v, nearest); }
inline void set_d(WorkingValue& d, double v) { mpfr_set_d(d.get(), v, nearest); }
inline void set_positive_zero(WorkingValue& d) { mpfr_set_zero(d.get(), 1); }
// Reads the whole decimal text in base 10; the texts are the module's own constants.
void set_decimal(WorkingValue& d, const char* text);
// d = (the integer written in hexadecimal digits, with an optional leading
// '-') * 2^exponent, rounded once into d's precision. False when the text is
// not such an integer.
bool set_scaled_hex(WorkingValue& d, const char* hex_integer, long exponent);
// Euler's constant and pi, correctly rounded (MPFR caches them per thread: see
// free_mpfr_caches_at_thread_exit).
inline void set_euler_gamma(WorkingValue& d) { mpfr_const_euler(d.get(), nearest); }
inline void set_pi(WorkingValue& d) { mpfr_const_pi(d.get(), nearest); }
// ln 2 correctly rounded, as log(2) gives it, from MPFR's per-thread cache.
inline void set_ln2(WorkingValue& d) { mpfr_const_log2(d.get(), nearest); }

// Arithmetic: d = a op b, rounded once into d's precision. d may alias a or b.
inline void add(WorkingValue& d, const WorkingValue& a, const WorkingValue& b) {
    mpfr_add(d.get(), a.get(), b.get(), nearest);
}
inline void sub(WorkingValue& d, const WorkingValue& a, const WorkingValue& b) {
    mpfr_sub(d.get(), a.get(), b.get(), nearest);
}
inline void mul(WorkingValue& d, const WorkingValue& a, const WorkingValue& b) {
    mpfr_mul(d.get(), a.get(), b.get(), nearest);
}
inline void div(WorkingValue& d, const WorkingValue& a, const WorkingValue& b) {
    mpfr_div(d.get(), a.get(), b.get(), nearest);
}
inline void mul_ui(WorkingValue& d, const WorkingValue& a, unsigned long b) {
    mpfr_mul_ui(d.get(), a.get(), b, nearest);
}
inline void mul_si(WorkingValue& d, const WorkingValue& a, long b) {
    mpfr_mul_si(d.get(), a.get(), b, nearest);
}
inline void div_ui(WorkingValue& d, const WorkingValue& a, unsigned long b) {
    mpfr_div_ui(d.get(), a.get(), b, nearest);
}
inline void ui_div(WorkingValue& d, unsigned long a, const WorkingValue& b) {
    mpfr_ui_div(d.get(), a, b.get(), nearest);
}
inline void mul_d(WorkingValue& d, const WorkingValue& a, double b) {
    mpfr_mul_d(d.get(), a.get(), b, nearest);
}
inline void div_d(WorkingValue& d, const WorkingValue& a, double b) {
    mpfr_div_d(d.get(), a.get(), b, nearest);
}
inline void neg(WorkingValue& d, const WorkingValue& a) { mpfr_neg(d.get(), a.get(), nearest); }
inline void abs(WorkingValue& d, const WorkingValue& a) { mpfr_abs(d.get(), a.get(), nearest); }
inline void sqrt(WorkingValue& d, const WorkingValue& a) { mpfr_sqrt(d.get(), a.get(), nearest); }
inline void exp(WorkingValue& d, const WorkingValue& a) { mpfr_exp(d.get(), a.get(), nearest); }
inline void log(WorkingValue& d, const WorkingValue& a) { mpfr_log(d.get(), a.get(), nearest); }

// Comparisons and inspection. greater() is false when either side is NaN.
inline bool greater(const WorkingValue& a, const WorkingValue& b) {
    return mpfr_greater_p(a.get(), b.get()) != 0;
}
// |a| > |b|; false when either side is NaN, like greater().
inline bool greater_abs(const WorkingValue& a, const WorkingValue& b) {
    return !mpfr_nan_p(a.get()) && !mpfr_nan_p(b.get()) && mpfr_cmpabs(a.get(), b.get()) > 0;
}
inline bool is_zero(const WorkingValue& v) { return mpfr_zero_p(v.get()) != 0; }
// a == b as numbers; false when either is NaN.
inline bool equal(const WorkingValue& a, const WorkingValue& b) {
    return mpfr_equal_p(a.get(), b.get()) != 0;
}
inline bool is_inf(const WorkingValue& v) { return mpfr_inf_p(v.get()) != 0; }
inline bool is_nan(const WorkingValue& v) { return mpfr_nan_p(v.get()) != 0; }
// Neither zero, NaN nor infinite: only such a value has an exponent.
inline bool is_regular(const WorkingValue& v) { return mpfr_regular_p(v.get()) != 0; }
// For a regular value: e with 2^(e-1) <= |v| < 2^e.
inline long exponent(const WorkingValue& v) { return static_cast<long>(mpfr_get_exp(v.get())); }

// Exact access to the significand, for fixed-size integer arithmetic on
// regular values (limb/limb_float.hpp). A regular value of p bits has
// ceil(p/64) limbs, least significant first, the top bit of the last one set
// and the unused low bits zero; it equals +-(limbs / 2^(64 limbs)) * 2^exponent.
inline const mp_limb_t* significand(const WorkingValue& v) {
    return static_cast<const mp_limb_t*>(mpfr_custom_get_significand(v.get()));
}
inline bool sign_bit(const WorkingValue& v) { return mpfr_signbit(v.get()) != 0; }
// d = +-(limbs / 2^(64 count)) * 2^exponent, exactly: the value must fit d's precision.
void set_significand(WorkingValue& d, const mp_limb_t* limbs, std::size_t count, long exponent,
                     bool negative);

// Whether every number within 2^(exponent(b) - error_bits) of b rounds to
// the same `bits`-bit value to nearest (mpfr_can_round): then setting b into
// a value of `bits` bits gives the correctly rounded value of whatever b
// approximates that closely.
inline bool round_is_determined(const WorkingValue& b, long error_bits, Bits bits) {
    auto precision = static_cast<mpfr_prec_t>(bits);
    return mpfr_can_round(b.get(), error_bits, nearest, nearest, precision) != 0;
}

// The nearest double: beyond the double range +-inf, NaN stays NaN, zeros keep their sign.
inline double to_double(const WorkingValue& v) { return mpfr_get_d(v.get(), nearest); }
// v = d * 2^e with 0.5 <= |d| < 1 (d = 0 and e = 0 for zero), for magnitudes
// the double range cannot hold.
inline double to_double_2exp(const WorkingValue& v, long& e) {
    e = 0;
    return mpfr_get_d_2exp(&e, v.get(), nearest);
}

// v in decimal scientific notation with `digits` significant digits, rounded
// to nearest ("-1.2345e-7"; "nan", "inf", "-inf" for the special values).
std::string decimal_text(const WorkingValue& v, std::size_t digits);

// A new value of `bits` bits set from v.
WorkingValue copy_at(Bits bits, const WorkingValue& v);

// MPFR keeps constants such as log 2, pi and Euler's constant in caches local
// to each thread, filled by log, exp and the constants above; a thread that ends without freeing them loses them.
// Every routine that may fill them calls this on entry: it arranges, once per
// thread, for that thread's caches to be freed when the thread ends.
void free_mpfr_caches_at_thread_exit() noexcept;
