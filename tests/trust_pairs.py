"""A broad set of transform pairs from the literature, by class, with f(t) in
closed form (mpmath, at the caller's precision): the set the trust tests hold
every method choice to. Times are spread to where each class is hard.

Sources: Davies & Martin (1979) and Abate & Valko (2004) test functions;
Abramowitz & Stegun 29.3 for the delays, periodic waves, essential
singularities and Bessel transforms."""

import mpmath as mp


def _square(t):
    return mp.mpf(-1) ** mp.floor(t)


PAIRS = {
    # smooth, rational
    "1/(s+1)": (lambda t: mp.exp(-t), [1e-3, 0.1, 1, 10, 50]),
    "1/(s*(s+1))": (lambda t: 1 - mp.exp(-t), [0.01, 1, 10, 100]),
    "1/(s+1)**2": (lambda t: t * mp.exp(-t), [0.1, 1, 10, 40]),
    "1/s**2": (lambda t: t, [1e-3, 1, 1e3]),
    "1/((s+1)*(s+2))": (lambda t: mp.exp(-t) - mp.exp(-2 * t), [0.1, 1, 10]),
    "s/(s+1)**2": (lambda t: (1 - t) * mp.exp(-t), [0.1, 2, 10]),
    # branch points and diffusion
    "1/sqrt(s)": (lambda t: 1 / mp.sqrt(mp.pi * t), [1e-3, 1, 1e3]),
    "exp(-sqrt(s))/s": (lambda t: mp.erfc(1 / (2 * mp.sqrt(t))), [0.01, 1, 100]),
    "exp(-sqrt(s))": (lambda t: mp.exp(-1 / (4 * t)) / (2 * mp.sqrt(mp.pi) * t ** 1.5),
                      [0.05, 1, 20]),
    "1/(sqrt(s)*(sqrt(s)+1))": (lambda t: mp.exp(t) * mp.erfc(mp.sqrt(t)), [0.01, 1, 30]),
    "log(s)/s": (lambda t: -mp.euler - mp.log(t), [0.01, 1, 100]),
    "1/sqrt(s+1)": (lambda t: mp.exp(-t) / mp.sqrt(mp.pi * t), [0.01, 1, 20]),
    "log((s+2)/(s+1))": (lambda t: (mp.exp(-t) - mp.exp(-2 * t)) / t, [0.1, 1, 10]),
    "1/(s*sqrt(s+1))": (lambda t: mp.erf(mp.sqrt(t)), [0.01, 1, 10]),
    "sqrt(s**2+1)-s": (lambda t: mp.besselj(1, t) / t, [0.5, 5, 30, 100]),
    "1/sqrt(s**2+1)": (lambda t: mp.besselj(0, t), [0.5, 5, 30, 100]),
    "atan(1/s)": (lambda t: mp.sin(t) / t, [0.5, 5, 30]),
    # oscillation, also at late times
    "1/(s**2+1)": (lambda t: mp.sin(t), [0.5, 5, 20, 50, 100]),
    "s/(s**2+1)": (lambda t: mp.cos(t), [0.5, 5, 20, 50, 100]),
    "(s**2-1)/(s**2+1)**2": (lambda t: t * mp.cos(t), [1, 10, 50, 100]),
    "1/((s+0.2)**2+1)": (lambda t: mp.exp(-t / 5) * mp.sin(t), [1, 10, 30]),
    # growth
    "1/(s-1)": (lambda t: mp.exp(t), [0.1, 1, 10, 100]),
    "1/(s-2)**2": (lambda t: t * mp.exp(2 * t), [0.1, 1, 10]),
    "1/(s**2-1)": (lambda t: mp.sinh(t), [0.1, 1, 10, 30]),
    "1/(s-sqrt(s))": (lambda t: mp.exp(t) * mp.erfc(-mp.sqrt(t)), [0.01, 1, 10, 50]),
    # delays and steps
    "exp(-s)/s": (lambda t: 1 if t > 1 else 0, [0.5, 1.5, 5]),
    "exp(-2*s)/s**2": (lambda t: max(t - 2, 0), [1, 3, 10]),
    "exp(-s)/(s+1)": (lambda t: mp.exp(1 - t) if t > 1 else 0, [0.5, 2, 10]),
    "exp(-s)/(s**2+1)": (lambda t: mp.sin(t - 1) if t > 1 else 0, [0.5, 2, 10]),
    "exp(-5*s)/s": (lambda t: 1 if t > 5 else 0, [1, 6, 20]),
    # periodic waves
    "tanh(s/2)/s": (_square, [0.5, 6.5, 7.5, 12.5]),
    "1/(s*(1+exp(-s)))": (lambda t: (1 + _square(t)) / 2, [0.5, 10.5, 11.5]),
    "1/(s*(1-exp(-s)))": (lambda t: mp.floor(t) + 1, [0.5, 3.5, 10.5]),
    "1/((s**2+1)*tanh(pi*s/2))": (lambda t: abs(mp.sin(t)), [0.5, 5, 20.5]),
    "tanh(s/2)/s**2": (lambda t: mp.mpf(1) / 2 - abs(t - 2 * mp.floor(t / 2) - 1) + mp.mpf(1) / 2,
                       [0.5, 3.25, 10.75]),
    # essential singularities
    "exp(-1/s)/s": (lambda t: mp.besselj(0, 2 * mp.sqrt(t)), [0.1, 1, 20]),
    "exp(-1/s)/sqrt(s)": (lambda t: mp.cos(2 * mp.sqrt(t)) / mp.sqrt(mp.pi * t), [0.1, 1, 20]),
    "exp(1/s)/sqrt(s)": (lambda t: mp.cosh(2 * mp.sqrt(t)) / mp.sqrt(mp.pi * t), [0.1, 1, 10]),
    # Bessel transforms (the Theis well function and its derivative)
    "besselk(0, sqrt(s))/s": (lambda t: mp.e1(1 / (4 * t)) / 2, [0.01, 1, 100]),
    "besselk(0, sqrt(s))": (lambda t: mp.exp(-1 / (4 * t)) / (2 * t), [0.05, 1, 100]),
    "besselk(0, 3*sqrt(s))/s": (lambda t: mp.e1(9 / (4 * t)) / 2, [0.1, 10, 1e3]),
    # a fast damped wave beside diffusion: faded by t below f, it still biases
    # every rho estimate of GWR alike; before it fades, real samples see it
    # only in part
    "1/sqrt(s) + 100/((s+50)**2+10000)": (
        lambda t: 1 / mp.sqrt(mp.pi * t) + mp.exp(-50 * t) * mp.sin(100 * t),
        [2.7585316176291843, 3.2245905452963948, 4.406236427773573, 5.150678076168122]),
    "1/sqrt(s) + 10000/((s+76.6)**2+64.3**2)": (
        lambda t: 1 / mp.sqrt(mp.pi * t) + 10000 * mp.exp(-mp.mpf("76.6") * t)
        * mp.sin(mp.mpf("64.3") * t) / mp.mpf("64.3"),
        [0.1660882782627716, 3.4551072945922217, 7.880462815669913]),
    "1/sqrt(s) + 10000/((s+34.2)**2+94**2)": (
        lambda t: 1 / mp.sqrt(mp.pi * t) + 10000 * mp.exp(-mp.mpf("34.2") * t)
        * mp.sin(94 * t) / 94,
        [20.30917620904739, 58.780160722749116, 345.5107294592218]),
    "exp(-sqrt(s))/s + 1/((s+5)**2+400)": (
        lambda t: mp.erfc(1 / (2 * mp.sqrt(t))) + mp.exp(-5 * t) * mp.sin(20 * t) / 20,
        [15.36174946671828]),
    # cancellation inside F
    "1/s - 1/(s+1)": (lambda t: 1 - mp.exp(-t), [0.01, 1, 20]),
    "(1 - exp(-s))/s**2": (lambda t: min(t, 1), [0.5, 2]),
}
