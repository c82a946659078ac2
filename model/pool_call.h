// Awaits a function run on a thread pool; the coroutine resumes on the main
// thread, through its event loop, exactly once.
#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QThreadPool>
#include <coroutine>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace tidewell {

template <typename Fn>
class PoolCall {
  public:
    using Result = std::invoke_result_t<Fn&>;

    PoolCall(QThreadPool& pool, Fn fn)
        : pool_(&pool), state_(std::make_shared<State>(State{std::move(fn), std::nullopt})) {}

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> waiting) {
        // The state is shared, so the awaiter may be copied or gone meanwhile.
        pool_->start([state = state_, waiting] {
            state->result.emplace(state->fn());
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [waiting] { waiting.resume(); },
                Qt::QueuedConnection);
        });
    }
    Result await_resume() { return std::move(*state_->result); }

  private:
    struct State {
        Fn fn;
        std::optional<Result> result;
    };
    QThreadPool* pool_;
    std::shared_ptr<State> state_;
};

}  // namespace tidewell
