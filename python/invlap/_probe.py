"""Where a black-box F may be singular, found by looking: F sampled along the
real axis and along rays into the upper half-plane, for sign changes (a real
pole), values that are not finite, and isolated peaks of |F| (a pole near
the ray). A callable says nothing of its singularities, and a contour that
passes one on the wrong side agrees with itself on a wrong value; what the
probes find places the contours, and what they cannot rule out is folded
into the estimates by the callers.

The probes are a net, not a proof: a pole between two rays far from both can
slip through. They cost one call of a vectorized F for all the rays (about
PROBES_PER_DECADE points a decade each), per distinct set of parameters.
"""

import functools
import math

import numpy as np

# Probes per decade of radius along each ray: some 36 % apart.
PROBES_PER_DECADE = 7.5
# The rays reach from this many times 1 / t_max, below which every contour the
# callers use encloses a singularity whatever its angle (the shared hyperbola's
# vertex stands at 0.14 / t_max or further right), up to RAY_REACH / t_min.
RAY_START = 0.05
RAY_REACH = 1e4
# ...and up to this modulus at least, whatever the times: at late t the reach
# above falls below the poles of the usual oscillating F (1e4 / t = 10 at t =
# 1e3, where 1/(s (s^2 + 400)) came out as its step 1/400 alone, with no
# estimate of the wave of amplitude 1/400 it missed, and s/(s^2 + 10^4) +
# 1/sqrt(s) 0.9 off at t = 1e5). Found, such a pair is taken out by its
# residue, or its points are flagged.
LEAST_REACH = 1e4
# Rays from the origin, by their angle from the positive real axis (the
# imaginary axis last, where the poles of oscillating f sit). The left
# half-plane is not probed: a pole there that a contour passes by is damped,
# and its residue, largest soon after, shows against the Bromwich line, which
# the callers check every contour against. Nor does a pole with a residue too
# small to raise |F| show here: that too is the line's to see.
RAY_ANGLES = (0.0, np.pi / 4, 3 * np.pi / 8, 7 * np.pi / 16, np.pi / 2)
# A sample this many times the larger of its neighbours marks a pole near it
# (a pole between two samples raises the nearer one above its other neighbour
# by about this much; one midway raises both, see _peaks). A smooth peak
# taken for a pole costs only more nodes on the Bromwich line.
PEAK_RATIO = 2.0
# A square-root branch point raises the slope less sharply (by about 1.45 at
# +-i for sqrt(s^2 + 1), between samples 23 % apart; about as much between
# samples 36 % apart).
SLOPE_PEAK_RATIO = 1.3
# The secant method that places a pole marked off the real axis (_located_poles):
# its most steps (calls of F), the relative step that ends it, and how far above
# the samples around the mark |F| must stand where it ends.
SECANT_STEPS = 12
SECANT_TOLERANCE = 1e-9
POLE_SIZE_RATIO = 1e-6
# Two located places within this share of |p| are one pole.
SAME_POLE = 1e-6
# What is left of F at a probe once the poles taken out are subtracted counts
# as nought within this many roundings of the two.
NOISE_ROUNDINGS = 8.0


def probe(sample, rows, t_min, t_max, take=None):
    """(sigma, height, taken) per row: the largest real part of a singularity found
    (-inf where none), the largest |Im| of one found off the real axis (0 where
    none), and the poles take(row, places) took out of F, given the places the
    secant steps located (see _poles.py): those no longer count.
    sample(z, which) gives F at the complex points z, one row per point `which`."""
    rays, step = _rays(t_min, t_max)
    sigma = np.full(rows.size, -np.inf)
    height = np.zeros(rows.size)
    # Every ray in one call of a vectorized F: a small call's cost is mostly
    # the calls' own.
    with np.errstate(all="ignore"):
        values = np.asarray(sample(np.tile(rays.reshape(-1), (rows.size, 1)),
                                   np.arange(rows.size))).reshape((rows.size,) + rays.shape)
    bad = _singular_places(rays, values)
    located = _located_poles(sample, rays, values, step, bad)
    taken = [[] for _ in range(rows.size)]
    if take is not None:
        for r in range(rows.size):
            places = located[r][np.isfinite(located[r])]
            if places.size:
                taken[r] = take(r, places)
        if any(taken):
            # What is left of F once they are out, at the same points: its
            # marks (and the places they stand for) are looked for afresh.
            remaining = without_poles(sample, taken, np.arange(rows.size))
            pairs = np.array([pole_pairs(poles, rays) for poles in taken])
            # Where the poles were all of F, what is left is the subtraction's
            # rounding and what the residues' and places' errors leave: noise,
            # whose peaks mark nothing.
            noise = (NOISE_ROUNDINGS * np.finfo(float).eps * (np.abs(values) + np.abs(pairs))
                     + np.array([pole_pair_errors(poles, rays) for poles in taken]))
            values = values - pairs
            bad = _singular_places(rays, values, noise)
            located = _located_poles(remaining, rays, values, step, bad)
    for r, k in zip(*np.nonzero(bad.any(axis=-1))):
        places = rays[k][bad[r, k]]
        # A singularity found next to a sample lies within about a step of it:
        # off the real axis its real part counts only where it stays positive
        # a step to the left (poles of oscillating f sit near the imaginary
        # axis, and a shift by a sample's real part would amplify the rounding
        # by e^(shift t) for nothing).
        real = places.real if k == 0 else places.real - step[bad[r, k]]
        # The height keeps the step's margin: the Bromwich line's nodes
        # need it above a pole with a large residue.
        height[r] = max(height[r], float((np.abs(places.imag) + step[bad[r, k]]).max()))
        if k > 0:
            # Where the pole was found, its own real part counts instead.
            pole = located[r, k][bad[r, k]]
            found = np.isfinite(pole)
            real = np.where(found, pole.real, real)
            places = np.where(found, pole, places)
        if (real > 0).any():
            sigma[r] = max(sigma[r], float(places.real[real > 0].max()))
    return sigma, height, taken


def pole_pairs(poles, z):
    """sum r/(z - p) + conj(r)/(z - conj(p)) over the (p, r, ...) of `poles`."""
    total = np.zeros(np.shape(z), dtype=complex)
    for p, r, *_ in poles:
        total += r / (z - p) + np.conj(r) / (z - np.conj(p))
    return total


def without_poles(sample, taken, group):
    """sample(z, which) of F less the taken poles and their conjugates; `taken`
    lists each parameter group's poles, `group` maps the points to groups."""
    def reduced(z, which):
        values = np.array(sample(z, which), dtype=complex)
        groups = group[np.asarray(which)]
        for g, poles in enumerate(taken):
            rows = groups == g
            if poles and rows.any():
                values[rows] -= pole_pairs(poles, np.broadcast_to(z, values.shape)[rows])
        return values
    return reduced


def pole_pair_errors(poles, z):
    """A bound on what errors dr in a residue and dp in a place leave of the
    pairs of `poles` (p, r, dr, dp) at z: 2 (dr + |r| dp / |z - p|) / |z - p|."""
    total = np.zeros(np.shape(z))
    for p, r, dr, dp in poles:
        distance = np.minimum(np.abs(z - p), np.abs(z - np.conj(p)))
        total += 2 * (dr + abs(r) * dp / distance) / distance
    return total


def _located_poles(sample, rays, values, step, bad):
    """The pole that each place marked off the real axis stands for, where the
    secant method on 1/F finds one from the samples around it (nan elsewhere):
    (rows, rays, points).

    A pole's smooth slope marks every ray it faces, far from itself: the pole
    pair of 1/((s + 0.5)^2 + 100^2) raises the slope of F 1.3 times above its
    neighbours at |s| = 101 and 138 on the rays at 45 to 79 degrees, whose
    samples' real parts (up to 98) would shift the contours by e^(98 t) past
    what doubles hold. 1/F is analytic at a pole and vanishes there, so the
    secant steps from the marked sample and its larger neighbour converge to
    it within a few calls. Only where they do, to a point where |F| stands far
    above the samples, does the pole's own place count; a branch point, where
    1/F need not vanish, keeps its sample's place."""
    located = np.full(bad.shape, np.nan + 0j)
    marked = [(r, k, i) for r, k, i in zip(*np.nonzero(bad)) if k > 0
              and rays[k][i].real - step[i] > 0]
    if not marked:
        return located
    r, k, i = (np.array(a) for a in zip(*marked))
    size = np.abs(values)
    upper = np.minimum(i + 1, rays.shape[1] - 1)
    lower = np.maximum(i - 1, 0)
    other = np.where(size[r, k, upper] >= size[r, k, lower], upper, lower)
    z0, z1 = rays[k, other], rays[k, i]
    with np.errstate(all="ignore"):
        g0, g1 = 1 / values[r, k, other], 1 / values[r, k, i]
        scale = np.maximum(size[r, k, i], size[r, k, other])
        done = np.zeros(r.size, dtype=bool)
        for _ in range(SECANT_STEPS):
            z2 = z1 - g1 * (z1 - z0) / (g1 - g0)
            busy = ~done & np.isfinite(z2)
            if not busy.any():
                break
            g2 = np.full(r.size, np.nan + 0j)
            g2[busy] = _reciprocals(sample, z2[busy], r[busy])
            converged = busy & (np.abs(z2 - z1) <= SECANT_TOLERANCE * np.abs(z2))
            z0, g0, z1, g1 = z1, g1, np.where(busy, z2, z1), np.where(busy, g2, g1)
            done |= converged | ~np.isfinite(g2)
        pole = done & np.isfinite(z1) & (np.abs(g1) * scale <= POLE_SIZE_RATIO)
    located[r[pole], k[pole], i[pole]] = z1[pole]
    return located


def probe_count(t_min, t_max):
    """How many values of F the probes of one set of parameters take."""
    return _rays(t_min, t_max)[0].size


@functools.lru_cache(maxsize=64)
def _rays(t_min, t_max):
    """The rays' points (rays, points), the real axis first, and the step from
    each radius to the next; made once per span of times."""
    reach = max(RAY_REACH / t_min, LEAST_REACH)
    decades = math.log10(reach * t_max / RAY_START)
    radii = np.geomspace(RAY_START / t_max, reach,
                         max(8, math.ceil(PROBES_PER_DECADE * decades)))
    rays = np.array([radii * np.exp(1j * angle) for angle in RAY_ANGLES])
    return rays, radii * (radii[1] / radii[0] - 1)


def _singular_places(rays, values, floor=0.0):
    """Whether F looks singular next to each point of each ray (rows, rays, points).
    `floor` (like values, or 0) bounds what is noise in each value: sizes and
    changes are judged with it added, so that noise raises no peak."""
    floor = np.broadcast_to(floor, values.shape)
    magnitude = np.abs(values) + floor
    bad = ~np.isfinite(magnitude)
    # The floor may peak itself (beside a pole taken out): a peak counts only
    # where the sample stands above its noise.
    bad[..., 1:-1] |= _peaks(magnitude) & (magnitude > 2 * floor)[..., 1:-1]
    # A branch point keeps F bounded but not its derivative: the change from
    # one sample to the next, against the step, peaks there instead.
    change = np.abs(np.diff(values, axis=-1))
    change_floor = floor[..., 1:] + floor[..., :-1]
    with np.errstate(all="ignore"):
        slope = ((change + change_floor) / np.abs(np.diff(rays, axis=-1)) * np.abs(rays[:, 1:]))
    bad[..., 2:-1] |= _peaks(slope, SLOPE_PEAK_RATIO) & (change > change_floor)[..., 1:-1]
    for r in range(values.shape[0]):
        # A real pole changes the sign of a real F across it: the later of
        # the two samples bounds its place from above.
        # A zero of F changes the sign too, but there |F| falls toward it where
        # at a pole it rises: the pair around the change must stand above the
        # samples beyond it. Noise changes no sign.
        real = np.where(np.abs(values[r, 0].real) > floor[r, 0], values[r, 0].real, 0.0)
        size = magnitude[r, 0]
        flips = np.flatnonzero(np.sign(real[:-1]) * np.sign(real[1:]) < 0)
        flips = flips[(flips > 0) & (flips < real.size - 2)]
        around = np.maximum(size[flips], size[flips + 1])
        beyond = np.maximum(size[flips - 1], size[flips + 2])
        bad[r, 0, flips[around > beyond] + 1] = True
    return bad


def _peaks(sizes, ratio=PEAK_RATIO):
    """Whether each inner entry (along the last axis) stands `ratio` times above
    both its neighbours, or with its neighbour above both entries beyond the pair:
    a pole near the ray midway between two samples raises both alike."""
    with np.errstate(invalid="ignore"):
        peaks = sizes[..., 1:-1] > ratio * np.maximum(sizes[..., :-2], sizes[..., 2:])
        pairs = (np.minimum(sizes[..., 1:-2], sizes[..., 2:-1])
                 > ratio * np.maximum(sizes[..., :-3], sizes[..., 3:]))
    peaks[..., :-1] |= pairs
    peaks[..., 1:] |= pairs
    return peaks


def _reciprocals(sample, z, which):
    """1/F at the points z (one per row `which`). A secant step can land on a
    pole to the last bit, where F is not finite (NumPy's 1/0j is inf + nan j)
    or a callable of Python numbers raises: there 1/F is 0, which ends its
    search."""
    try:
        values = np.asarray(sample(z[:, None], which))[:, 0]
    except (ZeroDivisionError, OverflowError):
        values = np.empty(z.size, dtype=complex)
        for n in range(z.size):
            try:
                values[n] = np.asarray(sample(z[n:n + 1, None], which[n:n + 1]))[0, 0]
            except (ZeroDivisionError, OverflowError):
                values[n] = np.inf
    return np.where(np.isfinite(values), 1 / values, 0)
