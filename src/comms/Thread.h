#pragma once
// A wrapper that owns one thread and runs the virtual Run body on it.
#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include "comms/Event.h"

namespace tornu {

// The program's error exception: thrown by CThread::Start only (a second
// Start, or a thread that could not be created).
class CThreadError : public std::runtime_error {
public:
    CThreadError(const std::string& text, std::string location, int code = 0)
        : std::runtime_error(text), location_(std::move(location)), code_(code) {}

    const std::string& Location() const { return location_; }
    // The system error number, 0 when none applies.
    int Code() const { return code_; }

private:
    std::string location_;
    int code_;
};

class CThread {
public:
    static constexpr int kInfinite = CEvent::kInfinite;

    CThread() = default;
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;
    // Does not wait for the thread: a subclass whose Run uses its members must
    // end the thread and Wait for it in its own destructor.
    virtual ~CThread();

    // Creates the thread, which runs Run at once. Throws CThreadError when the
    // object already has a thread (even one that has ended) or when the thread
    // cannot be created.
    void Start();

    // True when the thread has ended within timeoutMs (at once when it never
    // started). Several threads may wait at the same time.
    bool Wait(int timeoutMs = kInfinite);

    bool IsStarted() const;
    // Run's result; 0 while running, when Run threw, or when never started.
    unsigned ExitCode() const { return exitCode_.load(); }

protected:
    // The thread body; an exception leaving it ends the thread with exit code 0.
    virtual unsigned Run() = 0;

private:
    static void ThreadProc(CThread* self);
    void Reap();

    mutable std::mutex mutex_; // guards thread_ and started_
    std::thread thread_;
    bool started_ = false;
    CEvent ended_{true};
    std::atomic<unsigned> exitCode_{0};
};

} // namespace tornu
