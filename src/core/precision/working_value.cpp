#include "core/precision/working_value.hpp"

#include <limits>

#include "core/failure/internal_failure.hpp"

Bits WorkingValue::bits() const {
    mpfr_prec_t p = mpfr_get_prec(value_.get());
    if (p < 1 || static_cast<std::uintmax_t>(p) > std::numeric_limits<Bits>::max()) {
        internal_failure("overflow");
    }
    return static_cast<Bits>(p);
}

void set_decimal(WorkingValue& d, const char* text) {
    mpfr_strtofr(d.get(), text, nullptr, 10, nearest);
}

bool set_scaled_hex(WorkingValue& d, const char* hex_integer, long exponent) {
    // The integer is read exactly into a value wide enough to hold it, so
    // that the only rounding is the final one into d.
    std::size_t digits = 0;
    for (const char* c = hex_integer; *c != '\0'; ++c) {
        digits += *c != '-' ? 1 : 0;
    }
    WorkingValue exact(static_cast<Bits>(4 * digits + 4));
    if (digits == 0 || mpfr_set_str(exact.get(), hex_integer, 16, nearest) != 0) {
        return false;
    }
    mpfr_mul_2si(d.get(), exact.get(), exponent, nearest);
    return true;
}

void set_significand(WorkingValue& d, const mp_limb_t* limbs, std::size_t count, long exponent,
                     bool negative) {
    static_assert(GMP_NUMB_BITS == 64, "significands are handled as 64-bit limbs");
    mpz_t view;  // read-only, shares the limbs
    auto size = static_cast<mp_size_t>(count);
    mpz_srcptr integer = mpz_roinit_n(view, limbs, negative ? -size : size);
    mpfr_set_z_2exp(d.get(), integer, exponent - 64 * static_cast<long>(count), nearest);
}

std::string decimal_text(const WorkingValue& v, std::size_t digits) {
    if (mpfr_nan_p(v.get())) {
        return "nan";
    }
    if (mpfr_inf_p(v.get())) {
        return mpfr_signbit(v.get()) ? "-inf" : "inf";
    }
    if (mpfr_zero_p(v.get())) {
        return mpfr_signbit(v.get()) ? "-0.0" : "0.0";
    }
    mpfr_exp_t exponent = 0;
    // mpfr_get_str allocates the text with GMP's allocator; it is freed by
    // mpfr_free_str as soon as it is copied.
    std::unique_ptr<char, decltype(&mpfr_free_str)> text(
        mpfr_get_str(nullptr, &exponent, 10, digits < 2 ? 2 : digits, v.get(), nearest),
        &mpfr_free_str);
    std::string out(text.get());
    // "-12345" with exponent e means -0.12345e(e) = -1.2345e(e-1).
    const std::size_t first = out[0] == '-' ? 1 : 0;
    out.insert(first + 1, ".");
    return out + "e" + std::to_string(static_cast<long>(exponent) - 1);
}

WorkingValue copy_at(Bits bits, const WorkingValue& v) {
    WorkingValue out(bits);
    set(out, v);
    return out;
}

namespace {

struct ThreadCacheRelease {
    ~ThreadCacheRelease() { mpfr_free_cache2(MPFR_FREE_LOCAL_CACHE); }
};

}  // namespace

void free_mpfr_caches_at_thread_exit() noexcept {
    // Constructed on a thread's first call, destroyed when that thread ends.
    thread_local ThreadCacheRelease release;
    static_cast<void>(release);
}
