#include "comms/Thread.h"

#include <system_error>

namespace tornu {

CThread::~CThread() {
    std::lock_guard lock(mutex_);
    if (!thread_.joinable())
        return;
    if (ended_.IsSet())
        thread_.join();
    else
        thread_.detach();
}

void CThread::Start() {
    std::lock_guard lock(mutex_);
    if (started_)
        throw CThreadError("Thread already running - you can only call Start() once!",
                           "CThread::Start()");
    try {
        thread_ = std::thread(&CThread::ThreadProc, this);
    } catch (const std::system_error& e) {
        throw CThreadError(e.what(), "CThread::Start() - std::thread", e.code().value());
    }
    started_ = true;
}

void CThread::ThreadProc(CThread* self) {
    if (self == nullptr)
        return;
    unsigned code = 0;
    try {
        code = self->Run();
    } catch (...) {
        code = 0;
    }
    self->exitCode_.store(code);
    self->ended_.Set();
}

bool CThread::Wait(int timeoutMs) {
    if (!IsStarted())
        return true;
    if (!ended_.Wait(timeoutMs))
        return false;
    Reap();
    return true;
}

// The thread has ended; collect it so the destructor need not.
void CThread::Reap() {
    std::lock_guard lock(mutex_);
    if (thread_.joinable())
        thread_.join();
}

bool CThread::IsStarted() const {
    std::lock_guard lock(mutex_);
    return started_;
}

} // namespace tornu
