#pragma once

#include <QString>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

class QObject;

// The one thread on which every call into the office is made, with a queue of
// jobs. A call into the office blocks until the office answers (and the first one
// waits for the office to start), so the user-interface thread hands its jobs to
// this thread and waits in a local event loop: the windows keep painting, user
// input waits until the job has ended, and while the office is starting the
// waiting side is told so, so that a window above this layer can show the wait.
class OfficeThread
{
public:
    static const QString StartingText;

    // Called on the user-interface thread when a job it waits for starts the
    // office, with the text to show; what it returns is called once the office has
    // started (or the job ended). One for the whole program; none by default.
    using StartingNotice = std::function<std::function<void()>(const QString& text)>;
    static void setStartingNotice(StartingNotice notice);

    OfficeThread();
    // Runs the jobs still queued, then stops the thread.
    ~OfficeThread();

    OfficeThread(const OfficeThread&) = delete;
    OfficeThread& operator=(const OfficeThread&) = delete;

    enum class Wait { Painting,
                      Blocking };

    // Runs `job` on the office thread and returns once it has ended, throwing what
    // it threw. Painting waits in a local event loop when called on the
    // user-interface thread of a running application; Blocking (and any other
    // thread) simply blocks. Jobs run one at a time in the order given.
    void run(const std::function<void()>& job, Wait wait = Wait::Painting);

    // Runs `job` and waits for it at most `limit`, blocking; false when it has not
    // ended by then (it goes on, and the end of the thread waits for it). What the
    // job throws is dropped.
    bool runWithin(const std::function<void()>& job, std::chrono::milliseconds limit);

    // Called by a job while it starts the office: the waiting side is given the
    // starting notice for as long as this is set.
    void setStarting(bool starting) { m_starting = starting; }

    // True on the office thread itself.
    bool isCurrent() const;

private:
    struct Task;
    class Worker;

    void waitPainting(const std::shared_ptr<Task>& task);

    std::unique_ptr<Worker> m_worker;
    std::unique_ptr<QObject> m_notifier;  // lives on the user-interface thread
    std::atomic<bool> m_starting{false};
};
