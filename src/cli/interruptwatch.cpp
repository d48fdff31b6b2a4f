#include "interruptwatch.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

namespace {

// A signal handler may only touch a lock-free atomic.
std::atomic_bool interrupted = false;
static_assert(std::atomic_bool::is_always_lock_free);

extern "C" void onSignal(int)
{
    interrupted = true;
}

} // namespace

struct InterruptWatch::State
{
    std::function<void()> onInterrupt;
    std::atomic_bool stopping = false;
    std::thread watcher;
    void (*previousInt)(int) = SIG_DFL;
    void (*previousTerm)(int) = SIG_DFL;
};

InterruptWatch::InterruptWatch(std::function<void()> onInterrupt) : m_state(std::make_unique<State>())
{
    interrupted = false;
    m_state->onInterrupt = std::move(onInterrupt);
    m_state->previousInt = std::signal(SIGINT, onSignal);
    m_state->previousTerm = std::signal(SIGTERM, onSignal);
    State *state = m_state.get();
    m_state->watcher = std::thread([state] {
        while (!state->stopping) {
            if (interrupted) {
                state->onInterrupt();
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
}

InterruptWatch::~InterruptWatch()
{
    m_state->stopping = true;
    m_state->watcher.join();
    std::signal(SIGINT, m_state->previousInt == SIG_ERR ? SIG_DFL : m_state->previousInt);
    std::signal(SIGTERM, m_state->previousTerm == SIG_ERR ? SIG_DFL : m_state->previousTerm);
}
