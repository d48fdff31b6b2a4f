#pragma once

#include <functional>
#include <memory>

// While it lives, SIGINT and SIGTERM call the given function once, on a thread of its
// own (never inside the signal handler), instead of ending the process; the handlers
// before it come back when it goes.
class InterruptWatch
{
public:
    explicit InterruptWatch(std::function<void()> onInterrupt);
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch &) = delete;
    InterruptWatch &operator=(const InterruptWatch &) = delete;

private:
    struct State;
    std::unique_ptr<State> m_state;
};
