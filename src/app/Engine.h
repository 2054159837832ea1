// The engine: one thread that owns every core object. Its loop runs posted
// work and one poll step per 1 ms tick, and sleeps in ppoll() in between, so
// an idle station costs next to nothing. Other threads reach the core only
// through post() and call().
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include "channel/ChannelContext.h"
#include "hostmode/HostContext.h"
#include "hostmode/HostMode.h"
#include "platform/Clock.h"
#include "platform/Profile.h"
#include "platform/SystemLog.h"

namespace norva {

class IpcService;
class StationServices;
class UiPort;

struct EngineConfig {
    std::filesystem::path programDir;
    HostSettings settings;
    StreamOpener openStream;  // default: openStreamByName
    int tickMs = 1;
    int idleTickMs = 3;  // tick while nothing arrives for a while
    // Link-state changes of the TNCs (open, in/out of sync), when set.
    std::function<void(std::string_view)> trace;
    // The D-Bus address the IPC service uses; empty: the session bus.
    std::string busAddress;
};

class Engine {
public:
    Engine(EngineConfig config, Profile& profile, UiPort& ui, Clock& clock);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Starts the thread; it creates the TNC table (starting the TNCs).
    void start();
    // Runs every TNC's stop sequence, destroys the TNC table and joins the thread.
    void shutdown();

    // Work handed to the engine runs on the engine thread, never anywhere
    // else: work posted before the core is destroyed runs (also while the
    // TNCs stop); work that arrives later is dropped with a line in
    // system.log. Dropping destroys the function, so what it captured is
    // released (a waiting call() returns).
    //
    // Runs fn on the engine thread, soon. False when it was dropped.
    bool post(std::function<void()> fn);
    // Runs fn on the engine thread and waits for its result; a default
    // result when the work was dropped. Before start() there is no engine
    // thread and nothing runs concurrently, so fn runs here.
    template <class F>
    auto call(F fn) -> decltype(fn()) {
        using R = decltype(fn());
        if (!started_.load() || std::this_thread::get_id() == thread_.get_id()) return fn();
        auto task = std::make_shared<std::packaged_task<R()>>(std::move(fn));
        auto result = task->get_future();
        if (!post([task] { (*task)(); })) return R();
        task.reset();  // only the queued work owns it now: dropping it breaks the promise
        try {
            return result.get();
        } catch (const std::future_error&) {
            return R();
        }
    }

    // Engine thread only.
    CHostMode& hostMode() { return *hostMode_; }
    // The station's services (engine thread only, while the engine runs).
    StationServices& stationServices() { return *services_; }
    // The TNC table exists (from the thread's start until just before it ends).
    bool hasCore() const { return hostMode_ != nullptr; }
    ChannelContext& context() { return ctx_; }
    bool onEngineThread() const { return std::this_thread::get_id() == thread_.get_id(); }
    // Poll steps run so far (for benchmarks and tests).
    std::uint64_t steps() const { return steps_.load(); }
    // CPU time the engine thread has used, in nanoseconds (for benchmarks).
    std::int64_t cpuTimeNs();

private:
    void run();
    int runTick();
    static constexpr int kIdleStepsBeforeSlowing = 100;
    int idleSteps_ = 0;
    void runPosted();
    // Sleeps up to waitMs (not at all when <= 0) for posted work or the bus,
    // and serves the bus when it has something.
    void serve(IpcService& ipc, std::int64_t waitMs);
    void wake();
    void reapPrograms();
    static constexpr std::int64_t kReapIntervalMs = 1000;
    std::int64_t lastReapMs_ = 0;

    EngineConfig config_;
    SystemLog log_;
    ChannelContext ctx_;
    std::unique_ptr<StationServices> services_;
    std::unique_ptr<CHostMode> hostMode_;
    std::thread thread_;
    std::mutex mutex_;
    std::deque<std::function<void()>> queue_;
    bool stopping_ = false;
    bool acceptPosts_ = true;  // false once the core is about to be destroyed
    int wakeFd_ = -1;
    std::atomic<std::uint64_t> steps_{0};
    std::atomic<bool> started_{false};  // the engine thread was started once
};

}  // namespace norva
