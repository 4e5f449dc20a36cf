#pragma once
// Lets long native loops that never call back into Python still end on Ctrl-C.
// No Python header: the numerical code calls it.

// Runs the interpreter's pending signal handlers. If one raised (a
// KeyboardInterrupt), the call ends and the guard raises that exception.
void poll_interrupts();
