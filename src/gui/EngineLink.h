// EngineLink: how the GUI thread reaches the engine. Work is posted; where the
// GUI needs a result (to fill a dialog) it waits in a local event loop, so
// questions the engine asks meanwhile (UiPort::ask) are still answered and
// the two threads never wait for each other at the same time.
#pragma once

// std
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

// Qt
#include <QEventLoop>

// Norva
#include "app/Engine.h"

namespace norva {

class CTncChannel;

class EngineLink {
public:
    explicit EngineLink(Engine& engine) : engine_(engine) {}

    Engine& engine() { return engine_; }
    bool stopped() const { return stopped_; }

    // Runs fn(hostMode) on the engine thread, soon.
    void post(std::function<void(CHostMode&)> fn);

    // Runs fn(hostMode) on the engine thread and returns its result; the GUI
    // keeps processing events meanwhile. After shutdown: a default result.
    template <class F>
    auto call(F fn) -> std::invoke_result_t<F, CHostMode&> {
        using R = std::invoke_result_t<F, CHostMode&>;
        if (stopped_) {
            if constexpr (std::is_void_v<R>)
                return;
            else
                return R{};
        }
        QEventLoop loop;
        // Wakes the loop once the work has run, or when the engine drops it
        // during shutdown: either way the work's copy of the waker goes.
        std::shared_ptr<void> waker(nullptr, [&loop](void*) { wakeLoop(loop); });
        if constexpr (std::is_void_v<R>) {
            engine_.post([this, fn = std::move(fn), waker = std::move(waker)]() mutable {
                fn(engine_.hostMode());
            });
            loop.exec();
        } else {
            auto result = std::make_shared<std::optional<R>>();
            engine_.post([this, fn = std::move(fn), result, waker = std::move(waker)]() mutable {
                result->emplace(fn(engine_.hostMode()));
            });
            loop.exec();
            return result->has_value() ? std::move(**result) : R{};
        }
    }

    // Stops the engine (every TNC's stop sequence) while the GUI keeps
    // processing events; later calls do nothing.
    void shutdown();

    // Channel work of the panes; nothing happens for a channel that does not exist.
    void sendLine(int slot, std::string oemBytes, int kind, bool echo);
    void holdForReview(int slot);
    void resumePolling(int slot);
    // TopLink and the main window's activation, which the channels consult.
    void setTopLink(int slot);
    void setMainWindowActive(bool on);
    // The channel's ConnectMsg switch (the connect notice's check box).
    void setConnectMsg(int slot, bool on);

    // The channel of a slot, engine thread only.
    CTncChannel* channelOf(int slot);

private:
    static void wakeLoop(QEventLoop& loop);

    Engine& engine_;
    bool stopped_ = false;
};

}  // namespace norva
