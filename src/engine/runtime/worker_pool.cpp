#include "engine/runtime/worker_pool.hpp"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/evaluate/thread_caches.hpp"
#include "core/runtime/interrupts.hpp"

namespace {

// Thrown inside a worker thread when the job was cancelled; caught at the
// top of that thread and never seen elsewhere.
struct WorkCancelled {};

class CancelFlagSource final : public InterruptSource {
public:
    explicit CancelFlagSource(const JobControl& control) : control_(control) {}
    void poll() override {
        if (control_.cancelled.load(std::memory_order_relaxed)) {
            throw WorkCancelled{};
        }
    }

private:
    const JobControl& control_;
};

class Dispatcher {
public:
    Dispatcher(std::size_t count, unsigned workers, JobControl& control)
        : count_(count), control_(control),
          chunk_(std::clamp<std::size_t>(count / (16 * std::size_t{workers}), 1, 16)) {}

    // Runs chunks until none is left or the job is cancelled, polling the
    // thread's interrupt source before each point.
    void work(WorkerTask& task) {
        for (;;) {
            const std::size_t begin = next_.fetch_add(chunk_, std::memory_order_relaxed);
            if (begin >= count_) {
                return;
            }
            const std::size_t end = std::min(begin + chunk_, count_);
            for (std::size_t i = begin; i < end; ++i) {
                // Another thread failed: the calling thread, whose own source
                // does not read the flag, stops here too.
                if (control_.cancelled.load(std::memory_order_relaxed)) {
                    return;
                }
                poll_interrupts();
                task.run(i);
                control_.done.fetch_add(1, std::memory_order_relaxed);
            }
        }
    }

    // The first failure of a thread other than the caller: kept, and the
    // job cancelled so that the others stop at their next poll.
    void fail(std::exception_ptr failure) {
        {
            std::lock_guard lock(mutex_);
            if (!failure_) {
                failure_ = failure;
            }
        }
        control_.cancelled.store(true, std::memory_order_relaxed);
    }

    std::exception_ptr failure() {
        std::lock_guard lock(mutex_);
        return failure_;
    }

    // A thread other than the caller is about to run, or has ended.
    void thread_started() {
        std::lock_guard lock(mutex_);
        ++running_;
    }
    void thread_ended() {
        {
            std::lock_guard lock(mutex_);
            --running_;
        }
        ended_.notify_all();
    }

    // The calling thread's part when it does not work: polls its interrupt
    // source (which may end the call by throwing) until every other thread
    // has ended.
    void supervise() {
        // The source paces itself by its own clock; this only bounds how late
        // a poll can come, and how long the end of the job goes unnoticed.
        constexpr auto wake = std::chrono::milliseconds(10);
        std::unique_lock lock(mutex_);
        while (running_ > 0) {
            ended_.wait_for(lock, wake);
            lock.unlock();
            poll_interrupts();
            lock.lock();
        }
    }

private:
    std::size_t count_;
    JobControl& control_;
    std::size_t chunk_;
    std::atomic<std::size_t> next_{0};
    std::mutex mutex_;
    std::condition_variable ended_;
    std::size_t running_ = 0;  // threads other than the caller, guarded by mutex_
    std::exception_ptr failure_;
};

// The body of a thread other than the caller. Its catch is the thread's
// guard: an exception may not leave a thread, so it travels to the caller,
// which rethrows it under the module's own guard.
void worker_thread(Dispatcher& dispatcher, JobControl& control, const TaskFactory& factory) {
    free_thread_caches_at_exit();
    CancelFlagSource source(control);
    ScopedInterruptSource installed(source);
    try {
        std::unique_ptr<WorkerTask> task = factory();
        dispatcher.work(*task);
    } catch (const WorkCancelled&) {
        // Someone else ended the job; nothing of this thread's is wanted.
    } catch (...) {
        dispatcher.fail(std::current_exception());
    }
    dispatcher.thread_ended();
}

// Joins every started thread when it goes out of scope, also while an
// exception of the calling thread unwinds: cancelled first, so they end soon.
class ThreadGroup {
public:
    explicit ThreadGroup(JobControl& control) : control_(control) {}
    ~ThreadGroup() {
        if (std::uncaught_exceptions() > 0) {
            control_.cancelled.store(true, std::memory_order_relaxed);
        }
        for (std::thread& thread : threads_) {
            thread.join();
        }
    }
    ThreadGroup(const ThreadGroup&) = delete;
    ThreadGroup& operator=(const ThreadGroup&) = delete;

    // Starts one more thread; false when the system has none to give, and the
    // job then runs on the threads it has.
    template <class Body>
    bool start(Body&& body) {
        try {
            threads_.emplace_back(std::forward<Body>(body));
            return true;
        } catch (const std::system_error&) {
            return false;
        }
    }

private:
    JobControl& control_;
    std::vector<std::thread> threads_;
};

}  // namespace

void run_on_workers(std::size_t count, unsigned workers, JobControl& control,
                    const TaskFactory& factory) {
    workers = static_cast<unsigned>(std::clamp<std::size_t>(workers, 1, std::max<std::size_t>(count, 1)));
    Dispatcher dispatcher(count, workers, control);
    {
        ThreadGroup others(control);
        unsigned started = 0;
        for (unsigned w = control.caller_works ? 1 : 0; w < workers; ++w) {
            dispatcher.thread_started();
            if (!others.start([&] { worker_thread(dispatcher, control, factory); })) {
                dispatcher.thread_ended();
                break;
            }
            ++started;
        }
        if (control.caller_works || started == 0) {
            // No thread to leave the work to: the caller does it, polling as it goes.
            free_thread_caches_at_exit();
            std::unique_ptr<WorkerTask> task = factory();
            dispatcher.work(*task);
        } else {
            dispatcher.supervise();
        }
    }
    if (std::exception_ptr failure = dispatcher.failure()) {
        std::rethrow_exception(failure);
    }
}
