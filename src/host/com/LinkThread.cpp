#include "host/com/LinkThread.h"

#include "host/EditorWait.h"
#include "host/com/ComApartment.h"
#include "host/com/ComAttach.h"

#include <atomic>
#include <exception>
#include <utility>
#include <vector>

namespace tagwright::host::com {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How long the end of the link waits for its thread to finish what it was given.
constexpr DWORD endingWaitMs = 2000;
// Members brought over from the link thread in one hand-over.
constexpr int walkBatch = 64;

milliseconds since(Clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
}

} // namespace

struct LinkThread::Task {
    std::function<void()> work;
    std::exception_ptr failure;
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ~Task() {
        if (done) {
            CloseHandle(done);
        }
    }
};

LinkThread::Queue::Queue() : queued(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

LinkThread::Queue::~Queue() {
    if (queued) {
        CloseHandle(queued);
    }
}

LinkThread::LinkThread(milliseconds unansweredLimit)
    : unansweredLimit_(unansweredLimit), queue_(std::make_shared<Queue>()) {
    auto* held = new std::shared_ptr<Queue>(queue_);
    if (queue_->queued) {
        thread_ = CreateThread(nullptr, 0, &LinkThread::serve, held, 0, nullptr);
    }
    if (!thread_) {
        delete held;
        throw Failure::editorGone(u"无法启动调用线程");
    }
}

LinkThread::~LinkThread() {
    {
        std::lock_guard lock(queue_->mutex);
        queue_->ending = true;
    }
    SetEvent(queue_->queued);
    // A thread stuck in a hung editor's call is not waited for; it ends, if ever, on its own.
    WaitForSingleObject(thread_, endedBy_ ? 0 : endingWaitMs);
    CloseHandle(thread_);
}

DWORD WINAPI LinkThread::serve(void* held) {
    const std::shared_ptr<Queue> queue = *static_cast<std::shared_ptr<Queue>*>(held);
    delete static_cast<std::shared_ptr<Queue>*>(held);
    try {
        ComApartment apartment;
        for (;;) {
            MsgWaitForMultipleObjectsEx(1, &queue->queued, INFINITE, QS_ALLINPUT, 0);
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&message);
            }
            std::deque<std::shared_ptr<Task>> tasks;
            bool ending = false;
            {
                std::lock_guard lock(queue->mutex);
                tasks.swap(queue->tasks);
                ending = queue->ending;
            }
            for (const auto& task : tasks) {
                try {
                    task->work();
                } catch (...) {
                    task->failure = std::current_exception();
                }
                // What the work held (the editor's objects among it) goes here, in this
                // apartment, not wherever the task's last holder drops it.
                task->work = nullptr;
                SetEvent(task->done);
            }
            if (ending && tasks.empty()) {
                return 0;
            }
        }
    } catch (...) {
        return 1;
    }
}

void LinkThread::enqueue(std::shared_ptr<Task> task) {
    {
        std::lock_guard lock(queue_->mutex);
        queue_->tasks.push_back(std::move(task));
    }
    SetEvent(queue_->queued);
}

void LinkThread::post(std::function<void()> work) {
    if (endedBy_) {
        // The thread will never get to it; what the work holds is left as it is, since
        // releasing the editor's objects here, outside their apartment, is not allowed.
        new std::function<void()>(std::move(work));
        return;
    }
    auto task = std::make_shared<Task>();
    task->work = std::move(work);
    enqueue(std::move(task));
}

void LinkThread::run(std::function<void()> work) {
    if (endedBy_) {
        throw *endedBy_;
    }
    auto task = std::make_shared<Task>();
    task->work = std::move(work);
    enqueue(task);

    const auto start = Clock::now();
    auto quietSince = start; // the editor rejecting calls is an answer of sorts
    bool stopAsked = false;
    for (;;) {
        const DWORD woke = MsgWaitForMultipleObjectsEx(
            1, &task->done, static_cast<DWORD>(BusyEditorWait::tick.count()), QS_SENDMESSAGE, 0);
        if (woke == WAIT_OBJECT_0) {
            break;
        }
        if (woke == WAIT_OBJECT_0 + 1) {
            // Sent messages are answered inside PeekMessage; nothing posted is taken.
            MSG message;
            PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        const bool busy = BusyEditorWait::rejecting();
        if (busy) {
            quietSince = Clock::now();
        }
        const milliseconds waited = since(start);
        const milliseconds unanswered = since(quietSince);
        if (EditorWaitWatcher* watcher = EditorWaitScope::current()) {
            const milliseconds left =
                busy ? BusyEditorWait::defaultPatience - waited : unansweredLimit_ - unanswered;
            const bool keep = watcher->editorWaiting(
                busy ? EditorWaitReason::Busy : EditorWaitReason::NotAnswering, waited, left);
            if (!keep && busy && !stopAsked) {
                // The link thread gives up the busy editor at its next try.
                BusyEditorWait::stopWaiting();
                stopAsked = true;
            } else if (!keep && !busy) {
                giveUp(unanswered);
            }
        }
        if (!busy && unanswered >= unansweredLimit_) {
            giveUp(unanswered);
        }
    }
    if (task->failure) {
        std::rethrow_exception(task->failure);
    }
}

void LinkThread::giveUp(milliseconds waited) {
    endedBy_ = Failure::editorNotAnswering(waited);
    throw *endedBy_;
}

namespace {

// A host object of the editor, living on the link thread; every call goes there.
class LinkedObject : public HostObject, public std::enable_shared_from_this<LinkedObject> {
  public:
    LinkedObject(std::shared_ptr<LinkThread> link, ObjectRef inner)
        : link_(std::move(link)), inner_(std::move(inner)) {}
    ~LinkedObject() override {
        link_->post([inner = std::move(inner_)]() mutable { inner.reset(); });
    }

    const ObjectRef& inner() const { return inner_; }

    Value invoke(std::u16string_view member, CallKind kind, std::span<const Value> args) override;
    std::unique_ptr<HostEnumerator> enumerate() override;

    static Value wrap(const std::shared_ptr<LinkThread>& link, Value value) {
        if (value.type() == Value::Type::Object) {
            if (ObjectRef object = value.toObject()) {
                return Value(ObjectRef(std::make_shared<LinkedObject>(link, std::move(object))));
            }
        }
        return value;
    }

  private:
    std::shared_ptr<LinkThread> link_;
    ObjectRef inner_;
};

class LinkedEnumerator : public HostEnumerator {
  public:
    LinkedEnumerator(std::shared_ptr<LinkThread> link, std::shared_ptr<HostEnumerator> inner)
        : link_(std::move(link)), inner_(std::move(inner)) {}
    ~LinkedEnumerator() override {
        link_->post([inner = std::move(inner_), left = std::move(batch_)]() mutable {
            left.clear();
            inner.reset();
        });
    }

    bool next(Value& member) override {
        if (position_ == batch_.size()) {
            if (finished_) {
                return false;
            }
            fetch();
            if (batch_.empty()) {
                return false;
            }
        }
        member = LinkedObject::wrap(link_, std::move(batch_[position_++]));
        return true;
    }

  private:
    void fetch() {
        struct Fetched {
            std::vector<Value> members;
            bool finished = false;
        };
        auto fetched = std::make_shared<Fetched>();
        // What the last hand-over brought is spent; it goes back on the link thread.
        link_->post([spent = std::move(batch_)]() mutable { spent.clear(); });
        batch_.clear();
        position_ = 0;
        link_->run([inner = inner_, fetched] {
            Value member;
            while (static_cast<int>(fetched->members.size()) < walkBatch) {
                if (!inner->next(member)) {
                    fetched->finished = true;
                    break;
                }
                fetched->members.push_back(std::move(member));
            }
        });
        batch_ = std::move(fetched->members);
        finished_ = fetched->finished;
    }

    std::shared_ptr<LinkThread> link_;
    std::shared_ptr<HostEnumerator> inner_;
    std::vector<Value> batch_;
    std::size_t position_ = 0;
    bool finished_ = false;
};

Value LinkedObject::invoke(std::u16string_view member, CallKind kind, std::span<const Value> args) {
    struct Call {
        std::u16string member;
        CallKind kind;
        std::vector<Value> args;
        Value result;
    };
    auto call = std::make_shared<Call>();
    call->member = member;
    call->kind = kind;
    for (const Value& arg : args) {
        // The editor's own objects go back to it as what they are on the link thread.
        auto* linked = arg.type() == Value::Type::Object
                           ? dynamic_cast<LinkedObject*>(arg.toObject().get())
                           : nullptr;
        call->args.push_back(linked ? Value(linked->inner()) : arg);
    }
    link_->run([inner = inner_, call] {
        call->result = inner->invoke(call->member, call->kind, call->args);
        call->args.clear();
    });
    return wrap(link_, std::move(call->result));
}

std::unique_ptr<HostEnumerator> LinkedObject::enumerate() {
    auto walk = std::make_shared<std::shared_ptr<HostEnumerator>>();
    link_->run([inner = inner_, walk] { *walk = inner->enumerate(); });
    return std::make_unique<LinkedEnumerator>(link_, std::move(*walk));
}

} // namespace

HostApplication attachOnLinkThread(std::u16string_view progId, BusyEditorWait wait,
                                   milliseconds unansweredLimit) {
    auto link = std::make_shared<LinkThread>(unansweredLimit);
    auto application = std::make_shared<ObjectRef>();
    link->run([name = std::u16string(progId), wait, application] {
        *application = attachRunningObject(name, wait).object();
    });
    return HostApplication(LinkedObject::wrap(link, Value(std::move(*application))).toObject());
}

} // namespace tagwright::host::com
