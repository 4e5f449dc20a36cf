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


def probe(sample, rows, t_min, t_max):
    """(sigma, height) per row: the largest real part of a singularity found (-inf
    where none) and the largest |Im| of one found off the real axis (0 where none).
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
    for r, k in zip(*np.nonzero(bad.any(axis=-1))):
        places = rays[k][bad[r, k]]
        # A singularity found next to a sample lies within about a step of it:
        # off the real axis its real part counts only where it stays positive
        # a step to the left (poles of oscillating f sit near the imaginary
        # axis, and a shift by a sample's real part would amplify the rounding
        # by e^(shift t) for nothing).
        real = places.real if k == 0 else places.real - step[bad[r, k]]
        if (real > 0).any():
            sigma[r] = max(sigma[r], float(places.real[real > 0].max()))
        height[r] = max(height[r], float((np.abs(places.imag) + step[bad[r, k]]).max()))
    return sigma, height


def probe_count(t_min, t_max):
    """How many values of F the probes of one set of parameters take."""
    return _rays(t_min, t_max)[0].size


@functools.lru_cache(maxsize=64)
def _rays(t_min, t_max):
    """The rays' points (rays, points), the real axis first, and the step from
    each radius to the next; made once per span of times."""
    decades = math.log10(RAY_REACH * t_max / (RAY_START * t_min))
    radii = np.geomspace(RAY_START / t_max, RAY_REACH / t_min,
                         max(8, math.ceil(PROBES_PER_DECADE * decades)))
    rays = np.array([radii * np.exp(1j * angle) for angle in RAY_ANGLES])
    return rays, radii * (radii[1] / radii[0] - 1)


def _singular_places(rays, values):
    """Whether F looks singular next to each point of each ray (rows, rays, points)."""
    magnitude = np.abs(values)
    bad = ~np.isfinite(magnitude)
    bad[..., 1:-1] |= _peaks(magnitude)
    # A branch point keeps F bounded but not its derivative: the change from
    # one sample to the next, against the step, peaks there instead.
    with np.errstate(all="ignore"):
        slope = (np.abs(np.diff(values, axis=-1)) / np.abs(np.diff(rays, axis=-1))
                 * np.abs(rays[:, 1:]))
    bad[..., 2:-1] |= _peaks(slope, SLOPE_PEAK_RATIO)
    for r in range(values.shape[0]):
        # A real pole changes the sign of a real F across it: the later of
        # the two samples bounds its place from above.
        # A zero of F changes the sign too, but there |F| falls toward it where
        # at a pole it rises: the pair around the change must stand above the
        # samples beyond it.
        real = values[r, 0].real
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
