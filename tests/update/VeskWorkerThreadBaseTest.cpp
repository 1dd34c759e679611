#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>

#include "UpdateTestSupport.h"
#include "update/VeskWorkerThreadBaseT.h"

using namespace mailwright;
using namespace mailwright::testing;
using namespace std::chrono_literals;

namespace {

// What the test scripts and observes of a job; shared, because the job belongs to the thread.
struct JobScript {
    bool initializeResult = true;
    int runsWanted = 1000;          // DoWork asks for another run until this many ran
    Latch* holdRun = nullptr;       // when set, every run waits for it
    std::atomic<int> runs{0};
    std::atomic<int> effects{0};    // runs whose effect passed the gate
    std::atomic<bool> uninitialized{false};
    std::atomic<bool> destroyed{false};
    Latch firstRunStarted;
    Latch secondRunStarted;
};

class FakeJob {
public:
    FakeJob(std::shared_ptr<JobScript> script, std::shared_ptr<VeskWorkerGate> gate)
        : m_script(std::move(script)), m_gate(std::move(gate)) {}
    ~FakeJob() { m_script->destroyed = true; }

    bool Initialize() { return m_script->initializeResult; }
    void Uninitialize() { m_script->uninitialized = true; }
    bool DoWork() {
        const int run = ++m_script->runs;
        (run == 1 ? m_script->firstRunStarted : m_script->secondRunStarted).Release();
        if (m_script->holdRun) m_script->holdRun->Wait(30s);
        m_gate->Pass([&] { ++m_script->effects; });
        return run < m_script->runsWanted;
    }

private:
    std::shared_ptr<JobScript> m_script;
    std::shared_ptr<VeskWorkerGate> m_gate;
};

class FakeWorker : public VeskWorkerThreadBaseT<FakeWorker> {
public:
    explicit FakeWorker(std::shared_ptr<JobScript> script) : m_script(std::move(script)) {}
    std::unique_ptr<FakeJob> CreateJob(std::shared_ptr<VeskWorkerGate> gate) {
        return std::make_unique<FakeJob>(m_script, std::move(gate));
    }

private:
    std::shared_ptr<JobScript> m_script;
};

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(VeskWorkerThreadBase, StopWithoutAThreadSucceedsAgainAndAgain) {
    FakeWorker worker(std::make_shared<JobScript>());
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_TRUE(worker.Stop(0));
    EXPECT_TRUE(worker.Stop(0));
}

TEST(VeskWorkerThreadBase, TheJobWaitsForResumeAndStopEndsTheWaitingWorker) {
    auto script = std::make_shared<JobScript>();
    FakeWorker worker(script);
    ASSERT_TRUE(worker.Start(10));
    EXPECT_TRUE(worker.IsRunning());
    EXPECT_FALSE(script->firstRunStarted.Wait(50ms)) << "no run before Resume";
    EXPECT_TRUE(worker.Stop(5000));
    EXPECT_EQ(script->runs, 0);
    EXPECT_TRUE(script->uninitialized);
    EXPECT_TRUE(script->destroyed) << "the job is gone once Stop succeeded";
    EXPECT_TRUE(worker.Stop(0)) << "a second Stop";
}

TEST(VeskWorkerThreadBase, AFailedInitializeEndsTheWorkerWithoutARun) {
    auto script = std::make_shared<JobScript>();
    script->initializeResult = false;
    FakeWorker worker(script);
    ASSERT_TRUE(worker.Start(10));
    worker.Resume();
    ASSERT_TRUE(WaitUntil([&] { return !worker.IsRunning(); }));
    EXPECT_EQ(script->runs, 0);
    EXPECT_TRUE(script->uninitialized);
}

TEST(VeskWorkerThreadBase, RunsAgainAfterTheIntervalUntilTheJobIsFinished) {
    auto script = std::make_shared<JobScript>();
    script->runsWanted = 3;
    FakeWorker worker(script);
    ASSERT_TRUE(worker.Start(5));
    worker.Resume();
    ASSERT_TRUE(WaitUntil([&] { return !worker.IsRunning(); }));
    EXPECT_EQ(script->runs, 3);
    worker.Resume();  // the worker ended by itself: nothing happens
    EXPECT_FALSE(worker.IsRunning());
    const auto before = std::chrono::steady_clock::now();
    EXPECT_TRUE(worker.Stop(5000));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s) << "an ended worker stops at once";
    EXPECT_EQ(script->runs, 3);
}

TEST(VeskWorkerThreadBase, StartWhileRunningFailsButTheNewIntervalCounts) {
    auto script = std::make_shared<JobScript>();
    Latch hold;
    script->holdRun = &hold;
    FakeWorker worker(script);
    ASSERT_TRUE(worker.Start(60000));
    worker.Resume();
    ASSERT_TRUE(script->firstRunStarted.Wait(10s));
    EXPECT_FALSE(worker.Start(1));
    hold.Release();
    EXPECT_TRUE(script->secondRunStarted.Wait(10s)) << "the second run came after the new, short interval";
    EXPECT_TRUE(worker.Stop(5000));
}

TEST(VeskWorkerThreadBase, StopEndsTheIntervalWaitAtOnce) {
    auto script = std::make_shared<JobScript>();
    FakeWorker worker(script);
    ASSERT_TRUE(worker.Start(60000));
    worker.Resume();
    ASSERT_TRUE(WaitUntil([&] { return script->effects == 1; }));
    const auto before = std::chrono::steady_clock::now();
    EXPECT_TRUE(worker.Stop(15000));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 5s);
    EXPECT_EQ(script->runs, 1);
}

TEST(VeskWorkerThreadBase, PauseHoldsTheWorkerAfterThePendingRunUntilResume) {
    auto script = std::make_shared<JobScript>();
    Latch hold;
    script->holdRun = &hold;
    FakeWorker worker(script);
    ASSERT_TRUE(worker.Start(1));
    worker.Resume();
    ASSERT_TRUE(script->firstRunStarted.Wait(10s));
    worker.Pause();
    hold.Release();
    ASSERT_TRUE(WaitUntil([&] { return script->effects == 1; }));
    EXPECT_FALSE(script->secondRunStarted.Wait(50ms)) << "paused";
    EXPECT_TRUE(worker.IsRunning());
    worker.Resume();
    EXPECT_TRUE(script->secondRunStarted.Wait(10s));
    EXPECT_TRUE(worker.Stop(5000));
}

TEST(VeskWorkerThreadBase, StartAfterTheWorkerEndedRunsTheJobAgain) {
    auto script = std::make_shared<JobScript>();
    script->runsWanted = 1;
    FakeWorker worker(script);
    ASSERT_TRUE(worker.Start(1));
    worker.Resume();
    ASSERT_TRUE(WaitUntil([&] { return !worker.IsRunning(); }));
    ASSERT_TRUE(worker.Start(1));
    worker.Resume();
    ASSERT_TRUE(WaitUntil([&] { return !worker.IsRunning(); }));
    EXPECT_EQ(script->runs, 2);
    EXPECT_TRUE(worker.Stop(0));
}

TEST(VeskWorkerThreadBase, AWorkerThatMissesStopOutlivesItsObjectWithoutEffects) {
    auto script = std::make_shared<JobScript>();
    Latch hold;
    script->holdRun = &hold;
    auto worker = std::make_unique<FakeWorker>(script);
    ASSERT_TRUE(worker->Start(1));
    worker->Resume();
    ASSERT_TRUE(script->firstRunStarted.Wait(10s));
    EXPECT_FALSE(worker->Stop(20));
    EXPECT_FALSE(worker->IsRunning());
    worker.reset();  // returns at once: the worker was let go
    hold.Release();
    ASSERT_TRUE(WaitUntil([&] { return script->destroyed.load(); }));
    EXPECT_EQ(script->runs, 1) << "the stop event ends the worker after its run";
    EXPECT_EQ(script->effects, 0) << "the gate was closed when Stop returned";
}

// A worker whose thread ends just after Resume or Pause has found it running, the
// window that a control operation can meet by chance, made certain.
class WorkerEndingMidCall : public FakeWorker {
public:
    WorkerEndingMidCall(std::shared_ptr<JobScript> script, Latch& hold) : FakeWorker(std::move(script)), m_hold(hold) {}
    void EndDuringTheNextCall() { m_armed = true; }

    bool IsRunning() override {
        const bool running = FakeWorker::IsRunning();
        if (running && m_armed.exchange(false)) {
            m_hold.Release();  // the run returns false and the thread ends
            EXPECT_TRUE(WaitUntil([this] { return !FakeWorker::IsRunning(); }));
        }
        return running;
    }

private:
    Latch& m_hold;
    std::atomic<bool> m_armed{false};
};

TEST(VeskWorkerThreadBase, AControlCallRacingWithTheEndLeavesTheWorkerEnded) {
    const struct {
        const char* name;
        void (FakeWorker::*call)();
    } calls[] = {{"Resume", &FakeWorker::Resume}, {"Pause", &FakeWorker::Pause}};
    for (const auto& c : calls) {
        SCOPED_TRACE(c.name);
        auto script = std::make_shared<JobScript>();
        script->runsWanted = 1;
        Latch hold;
        script->holdRun = &hold;
        WorkerEndingMidCall worker(script, hold);
        ASSERT_TRUE(worker.Start(1));
        worker.Resume();
        ASSERT_TRUE(script->firstRunStarted.Wait(10s));
        worker.EndDuringTheNextCall();
        (worker.*c.call)();
        EXPECT_FALSE(worker.IsRunning()) << "the ended worker looks alive";
        const auto before = std::chrono::steady_clock::now();
        EXPECT_TRUE(worker.Stop(15000));
        EXPECT_LT(std::chrono::steady_clock::now() - before, 5s) << "Stop waited for a worker that had ended";
        EXPECT_TRUE(worker.Start(1)) << "Start refused after the worker ended";
        EXPECT_TRUE(worker.Stop(5000));
    }
}

TEST(VeskWorkerThreadBase, TheDestructorStopsAWorkerInItsIntervalWait) {
    auto script = std::make_shared<JobScript>();
    auto worker = std::make_unique<FakeWorker>(script);
    ASSERT_TRUE(worker->Start(60000));
    worker->Resume();
    ASSERT_TRUE(WaitUntil([&] { return script->effects == 1; }));
    const auto before = std::chrono::steady_clock::now();
    worker.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 5s);
    EXPECT_TRUE(script->destroyed) << "the destructor waited for the worker";
}

}  // namespace
