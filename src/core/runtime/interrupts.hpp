#pragma once
// Lets long native loops end early: on Ctrl-C in the thread that holds the
// interpreter, or when the work a worker thread belongs to is cancelled.
// No Python header: the numerical code calls it.

// A thread's answer to "should this loop stop now?": poll() returns, or ends
// the work by throwing whatever its owner catches.
class InterruptSource {
public:
    virtual void poll() = 0;

protected:
    ~InterruptSource() = default;
};

// Polls the calling thread's source. Without one installed the caller holds
// the interpreter lock, and the interpreter's pending signal handlers run: if
// one raised (a KeyboardInterrupt), the call ends with Interrupted carrying it.
void poll_interrupts();

// Installs `source` for the calling thread for as long as this object lives,
// then puts back whatever was installed before. Worker threads that run
// without the interpreter lock must install one before any numerical code
// runs: the default would touch the interpreter.
class ScopedInterruptSource {
public:
    explicit ScopedInterruptSource(InterruptSource& source) noexcept;
    ~ScopedInterruptSource();
    ScopedInterruptSource(const ScopedInterruptSource&) = delete;
    ScopedInterruptSource& operator=(const ScopedInterruptSource&) = delete;

private:
    InterruptSource* previous_;
};
