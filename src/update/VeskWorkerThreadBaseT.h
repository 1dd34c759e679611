#pragma once
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "support/WinTypes.h"
#include "update/VeskManualResetEvent.h"
#include "update/VeskWorkerGate.h"

namespace mailwright {

// Owns one worker thread that runs a job: once as soon as it is resumed, then again
// after the interval for as long as the job's DoWork asks for it. The control
// operations are for one owning thread.
//
// The job class T derives from this template and supplies
//     std::unique_ptr<Job> CreateJob(std::shared_ptr<VeskWorkerGate> gate)
// which Start calls on the owner's thread. The job object (Initialize, DoWork,
// Uninitialize) belongs to the worker thread alone, and the thread shares nothing
// with this object but the events, the interval and the gate. That is what lets
// Stop give up on a worker that does not end in time: the gate is closed, the
// thread is left to wind down on its own, and the object may then be destroyed.
// A job acts on the outside world only through the gate.
template <class T>
class VeskWorkerThreadBaseT {
public:
    VeskWorkerThreadBaseT() = default;
    VeskWorkerThreadBaseT(const VeskWorkerThreadBaseT&) = delete;
    VeskWorkerThreadBaseT& operator=(const VeskWorkerThreadBaseT&) = delete;

    virtual ~VeskWorkerThreadBaseT() { Stop(kDestructorTimeoutMs); }

    // Stores the interval in every case; false when a worker is already running (it
    // then uses the new interval from its next wait on) or no thread can be made.
    // The job does not run before Resume.
    virtual bool Start(DWORD intervalMs) {
        std::lock_guard lock(m_cs);
        m_dwInterval = intervalMs;
        if (m_pState) m_pState->m_dwInterval.store(intervalMs);
        if (IsRunning()) return false;
        Release(INFINITE);  // an ended worker: its thread is finishing, join it
        try {
            auto state = std::make_shared<WorkerState>(intervalMs);
            auto job = static_cast<T*>(this)->CreateJob(state->m_pGate);
            m_hThread = std::thread(&ThreadProc<decltype(job)>, state, std::move(job));
            m_pState = std::move(state);
        } catch (const std::exception&) {
            return false;
        }
        return true;
    }

    // Resume and Pause leave the done event alone: only the thread writes it, as its last
    // act, so a call that meets the thread's end cannot make an ended worker look alive.
    virtual void Resume() {
        std::lock_guard lock(m_cs);
        if (!IsRunning()) return;
        m_pState->m_hStopEvent.Reset();
        m_pState->m_hRunEvent.Set();
    }

    // The worker completes a pending interval wait and run, then waits for Resume.
    virtual void Pause() {
        std::lock_guard lock(m_cs);
        if (!IsRunning()) return;
        m_pState->m_hStopEvent.Reset();
        m_pState->m_hRunEvent.Reset();
    }

    // Asks the worker to end and waits up to the time-out. True when it ended in time
    // (or there was none). Either way, once Stop returns the worker posts nothing,
    // writes nothing and never touches this object again; one that missed the time-out
    // aborts its transfer and ends by itself.
    virtual bool Stop(DWORD timeoutMs) {
        std::lock_guard lock(m_cs);
        if (!m_hThread.joinable()) return true;
        m_pState->m_hStopEvent.Set();
        m_pState->m_hRunEvent.Set();  // wakes a worker that waits for the run event
        return Release(timeoutMs);
    }

    virtual bool IsRunning() {
        std::lock_guard lock(m_cs);
        return m_hThread.joinable() && !m_pState->m_hDoneEvent.IsSet();
    }

protected:
    static constexpr DWORD kDestructorTimeoutMs = 15000;

    DWORD m_dwInterval = 0;

private:
    // What the thread shares with this object.
    struct WorkerState {
        explicit WorkerState(DWORD interval) : m_dwInterval(interval) {}
        VeskManualResetEvent m_hRunEvent;
        VeskManualResetEvent m_hStopEvent;
        VeskManualResetEvent m_hDoneEvent;
        std::atomic<DWORD> m_dwInterval;
        std::shared_ptr<VeskWorkerGate> m_pGate = std::make_shared<VeskWorkerGate>();
    };

    // Waits for the done event, closes the gate and lets go of the thread: joined when
    // it ended in time, else left to finish alone. True when it ended in time.
    bool Release(DWORD timeoutMs) {
        if (!m_hThread.joinable()) return true;
        const bool ended = m_pState->m_hDoneEvent.Wait(timeoutMs);
        m_pState->m_pGate->Close();
        if (ended) m_hThread.join();
        else m_hThread.detach();
        m_pState.reset();
        return ended;
    }

    template <class JobPtr>
    static void ThreadProc(std::shared_ptr<WorkerState> state, JobPtr job) {
        if (job && job->Initialize()) RunJob(*state, *job);
        if (job) job->Uninitialize();
        job.reset();  // the job's resources are gone before anyone learns that the worker ended
        state->m_hDoneEvent.Set();
    }

    template <class Job>
    static void RunJob(WorkerState& state, Job& job) {
        bool first = true;
        state.m_hRunEvent.Wait(INFINITE);
        for (;;) {
            if (state.m_hStopEvent.Wait(first ? 0 : state.m_dwInterval.load())) return;
            first = false;
            if (!job.DoWork()) return;
            state.m_hRunEvent.Wait(INFINITE);
        }
    }

    std::recursive_mutex m_cs;
    std::thread m_hThread;
    std::shared_ptr<WorkerState> m_pState;
};

}  // namespace mailwright
