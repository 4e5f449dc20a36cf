#pragma once
// Spreads the points of a job over threads. No Python header.
//
// The calling thread supervises: the interrupt source installed on it (by
// the module boundary) is polled, and may cancel the job. By default it works
// too, and is polled from inside the numerical loops and between points;
// when its polls may take long (they run a progress callable), it only
// supervises, waking now and then, while `workers` other threads do the work,
// so that a slow poll costs no work. Every other thread installs a source that
// only reads the job's cancel flag.
// Points are handed out in small chunks from a shared counter, so a slow
// point delays nobody; each point's result depends on the point alone, so the
// results are the same bits whatever the number of threads.

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>

// The state of a running job that the supervisor reads and cancels.
struct JobControl {
    std::atomic<bool> cancelled{false};
    std::atomic<std::size_t> done{0};  // points finished, for progress reports
    // Whether the calling thread computes points as well as supervising;
    // set by the supervisor before the job starts.
    bool caller_works = true;
};

// One thread's share of the work: made on its thread, so that everything it
// holds (evaluators, workspaces) is that thread's own.
class WorkerTask {
public:
    virtual ~WorkerTask() = default;
    virtual void run(std::size_t index) = 0;
};
using TaskFactory = std::function<std::unique_ptr<WorkerTask>()>;

// Runs run(i) for every i in [0, count) on `workers` threads (the calling
// one among them unless control.caller_works is false). Returns when all
// points are done, or throws: the calling thread's own exception (its
// interrupt source's, on Ctrl-C), else the first exception of another
// thread (a memory or internal failure). On the way out every thread has
// stopped.
void run_on_workers(std::size_t count, unsigned workers, JobControl& control,
                    const TaskFactory& factory);
