"""An expensive transform: a finite-difference solver of a Laplace-domain diffusion
problem, solved once per s, as the worked example of the README and the demo.

Radial flow to a well in a reservoir with a skin zone (a ring of lower
permeability around the well, van Everdingen 1953), dimensionless: for the
Laplace-transformed pressure p(r, s),

    (1/r) d/dr (k(r) r dp/dr) = s p,   1 <= r <= R,
    k r dp/dr = -1/s at the well r = 1 (a constant rate from t = 0),
    p = 0 at the outer radius R,

with k = skin_permeability for r < skin_radius and 1 beyond. In x = ln r the
equation is d/dx (k dp/dx) = s e^(2x) p: finite volumes on a uniform grid in x
(fine near the well, where the pressure changes fastest) give a tridiagonal
system (K + s M) p = b per s, solved with SciPy's sparse solver, which releases
the interpreter lock while it works. F(s) is the well's pressure p(1, s).

With k = 1 and R large the exact transform is the radial-flow ratio
K0(sqrt s) / (s sqrt(s) K1(sqrt s)) (van Everdingen & Hurst 1949): the check.
The grid's own error is about h^2 (h = ln(R) / cells): 1e-4 of p at 2000 cells.
"""

import numpy as np

__all__ = ["radial_flow_solver"]


def radial_flow_solver(skin_radius=2.0, skin_permeability=0.2, outer_radius=1e4, cells=2000):
    """F(s): the well's pressure in the Laplace domain, one sparse solve per call."""
    import scipy.sparse
    import scipy.sparse.linalg

    x = np.linspace(0.0, np.log(outer_radius), cells + 1)
    h = x[1] - x[0]
    # Each face's conductance, from the permeability at its midpoint.
    conductance = np.where(np.exp(x[:-1] + h / 2) < skin_radius, skin_permeability, 1.0) / h
    diagonal = np.zeros(cells + 1)
    diagonal[:-1] += conductance
    diagonal[1:] += conductance
    # Each node's share of the e^(2x) weight; the well's node has half a cell.
    mass = h * np.exp(2 * x)
    mass[0] /= 2
    # The outer node holds p = 0: it leaves the system.
    diagonal, mass, off = diagonal[:-1], mass[:-1], -conductance[:-1]
    # K once; per s only the diagonal's s M changes. Filling the data of a
    # ready pattern costs a tenth of building the matrix anew, and it is the
    # part of a call that holds the interpreter lock: with less of it, threads
    # run the solves side by side.
    stiffness = scipy.sparse.diags([off, diagonal, off], [-1, 0, 1], format="csc")
    columns = np.repeat(np.arange(cells), np.diff(stiffness.indptr))
    weight = np.where(stiffness.indices == columns, mass[stiffness.indices], 0.0)

    def F(s):
        system = scipy.sparse.csc_matrix(
            (stiffness.data + s * weight, stiffness.indices, stiffness.indptr),
            shape=stiffness.shape)
        rate = np.zeros(cells, dtype=complex if isinstance(s, complex) else float)
        rate[0] = 1 / s
        # Tridiagonal: no reordering needed, none fills in.
        return scipy.sparse.linalg.spsolve(system, rate, permc_spec="NATURAL")[0]
    return F
