#include "change_tracker.h"

#include <future>
#include <memory>
#include <mutex>

#include "journal_history.h"

namespace tidewell::ChangeTracker {

namespace {

// State of one request, shared with the stream's callback and the deadline.
struct Box {
    std::mutex lock;
    ChangeSet set;
    std::int64_t eventCount = 0;
    bool unreliable = false;
    std::string reason;
    std::optional<std::promise<Answer>> continuation;
    std::unique_ptr<HistoryStream> stream;
};

// Only the first finish answers; the stream is torn down on the queue,
// never under the box's lock.
void finish(const std::shared_ptr<Box>& box, SerialQueue& queue, Answer answer) {
    std::optional<std::promise<Answer>> continuation;
    std::unique_ptr<HistoryStream> stream;
    {
        std::lock_guard guard(box->lock);
        if (!box->continuation) return;
        continuation = std::move(box->continuation);
        box->continuation.reset();
        stream = std::move(box->stream);
    }
    if (stream) {
        queue.post([s = std::shared_ptr<HistoryStream>(std::move(stream))] { s->stop(); });
    }
    continuation->set_value(std::move(answer));
}

}  // namespace

Answer ask(HistorySource& source, const std::string& root, std::uint64_t since,
           std::int64_t maxEvents, double timeoutSeconds) {
    SerialQueue queue;  // destroyed last: runs the stream's teardown first
    auto box = std::make_shared<Box>();
    std::future<Answer> answer;
    {
        std::lock_guard guard(box->lock);
        box->continuation.emplace();
        answer = box->continuation->get_future();
    }
    std::weak_ptr<Box> weak = box;
    auto callback = [weak, &queue, maxEvents](std::vector<HistoryEvent> batch) {
        std::shared_ptr<Box> b = weak.lock();
        if (!b) return;
        bool done = false;
        std::int64_t count = 0;
        bool unreliable = false;
        ChangeSet set;
        std::string reason;
        {
            std::lock_guard guard(b->lock);
            for (HistoryEvent& e : batch) {
                if ((e.flags & history::kHistoryDone) != 0) {
                    done = true;
                    continue;
                }
                ++b->eventCount;
                if ((e.flags & history::kUnreliableMask) != 0) {
                    if (!b->unreliable)
                        b->reason = e.reason.empty() ? "history unreliable" : e.reason;
                    b->unreliable = true;
                } else if ((e.flags & history::kMustScanSubdirs) != 0) {
                    b->set.subtreeDirs.push_back(std::move(e.path));
                } else {
                    b->set.changedDirs.push_back(std::move(e.path));
                }
            }
            count = b->eventCount;
            unreliable = b->unreliable;
            reason = b->reason;
            if (done || count > maxEvents) set = b->set;
        }
        if (count > maxEvents || done) {
            if (!unreliable && count <= maxEvents)
                finish(b, queue, {std::move(set), {}});
            else if (unreliable)
                finish(b, queue, {std::nullopt, reason});
            else
                finish(b, queue,
                       {std::nullopt, "more than " + std::to_string(maxEvents) + " events"});
        } else if (unreliable) {
            finish(b, queue, {std::nullopt, reason});
        }
    };

    std::unique_ptr<HistoryStream> stream = source.createStream(root, since, queue, callback);
    if (!stream) {
        finish(box, queue, {std::nullopt, "the history cannot be read"});
        return answer.get();
    }
    HistoryStream* running = stream.get();
    bool started = false;
    {
        // Started under the lock: an answer that comes at once must not tear
        // the stream down while it is still starting.
        std::lock_guard guard(box->lock);
        box->stream = std::move(stream);
        started = running->start();
    }
    if (!started) {
        std::unique_ptr<HistoryStream> failed;
        {
            std::lock_guard guard(box->lock);
            failed = std::move(box->stream);
        }
        finish(box, queue, {std::nullopt, "the history cannot be started"});
        if (failed) failed->stop();
        return answer.get();
    }
    const auto timeout = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(timeoutSeconds));
    queue.postAfter(timeout, [weak, &queue, timeoutSeconds] {
        if (std::shared_ptr<Box> b = weak.lock()) {
            std::string text = "no answer within " + std::to_string(timeoutSeconds) + " s";
            finish(b, queue, {std::nullopt, std::move(text)});
        }
    });
    Answer result = answer.get();
    // Nothing may reach the box after the answer; the queue's destruction
    // runs the teardown that is already posted and drops the deadline.
    box.reset();
    return result;
}

std::optional<ChangeSet> changes(const std::string& root, std::uint64_t since,
                                 std::int64_t maxEvents, double timeoutSeconds) {
    std::unique_ptr<JournalHistory> history = defaultJournalHistory();
    if (!history) return std::nullopt;
    return ask(*history, root, since, maxEvents, timeoutSeconds).changes;
}

std::uint64_t currentEventId() {
    std::unique_ptr<JournalHistory> history = defaultJournalHistory();
    return history ? history->currentEventId() : 0;
}

}  // namespace tidewell::ChangeTracker
