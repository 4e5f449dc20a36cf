#pragma once
// Which of the modified Bessel functions: I_n (first kind) or K_n (second kind).

enum class BesselKind { first, second };
