// GWR takes M = 1.1 d terms at 2.4 M digits and O(M^2) operations on them:
// its cost grows about like d^3. A Talbot contour takes 1.75 d nodes twice
// (the estimate's second rule) at 0.85 M digits, each one complex sample of
// F: O(d) samples of O(d)-digit arithmetic, about d^2.3 with GMP's products.
// Where they cross depends on what a sample costs, real against complex:
// elementary F turn to the contour from 80 digits, F with Bessel functions,
// erf, erfc or gamma stay with GWR first.
//
// Measured (one worker, t in {0.1, 1, 10}, CPU time per point):
//   elementary F (1/(s+1), 1/sqrt(s), exp(-sqrt(s))/s, 1/(s^2+1)): at 60
//   digits GWR 0.9-6.0 ms, Talbot 1.5-2.9 ms, GWR ahead on two of four; at
//   100 digits Talbot ahead on all four (1.7-4.6 ms against 3.0-23 ms).
//   Bessel functions of s: a complex sample costs some 20-40 times a real
//   one (Arb's acb_hypgeom_bessel_k at integer order against the engine's
//   own real Bessel functions): the radial-flow ratio
//   K0(sqrt s)/(s sqrt(s) K1(sqrt s)) at 100 digits takes 0.06 s by GWR and
//   1.3 s by Talbot, at 200 digits 0.37 s and 2.7 s, at 300 digits 1.4 s
//   and 14.6 s (t = 1): each node evaluates Arb's integer-order K by its
//   series with a limit in the order, about a millisecond at 100 digits,
//   and GWR keeps ahead as far as it was measured. erf, erfc and gamma of
//   complex s cost alike: erfc(sqrt(s))/s and gamma(s+1)/s^3 at 100 digits
//   take 3-4 times GWR's time by Talbot.

#include "engine/contours/contour_first.hpp"

#include "engine/program/function_table.hpp"

namespace {

constexpr std::uint32_t elementary_digits = 80;
// Beyond every digits a request may ask for (limits.hpp): GWR first.
constexpr std::uint32_t costly_sample_digits = 100000;

}  // namespace

bool has_costly_complex_sample(const Program& program) {
    for (const Instruction& instruction : program.code()) {
        if (is_function(instruction.op) && function_of(instruction.op).costly_complex) {
            return true;
        }
    }
    return false;
}

bool contour_first(const Program& program, std::uint32_t digits) {
    return digits >= (has_costly_complex_sample(program) ? costly_sample_digits : elementary_digits);
}
