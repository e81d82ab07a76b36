#include "office/officethread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <utility>

const QString OfficeThread::StartingText = QStringLiteral("ცხრილების პროგრამა იტვირთება…");

namespace {
OfficeThread::StartingNotice g_startingNotice;
}

void OfficeThread::setStartingNotice(StartingNotice notice)
{
    g_startingNotice = std::move(notice);
}

struct OfficeThread::Task
{
    std::function<void()> job;
    std::exception_ptr error;
    bool done = false;           // under the worker's mutex
    QEventLoop* loop = nullptr;  // touched on the user-interface thread only
};

// A QThread rather than a bare std::thread: the office process is a QProcess
// owned by this thread, and QProcess needs a thread with an event dispatcher.
class OfficeThread::Worker : public QThread
{
public:
    explicit Worker(QObject* notifier)
        : m_notifier(notifier) { setObjectName(QStringLiteral("office")); }

    void post(std::shared_ptr<Task> task)
    {
        {
            std::lock_guard lock(m_mutex);
            m_queue.push_back(std::move(task));
        }
        m_changed.notify_all();
    }

    void waitFor(const std::shared_ptr<Task>& task)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return task->done; });
    }

    bool waitFor(const std::shared_ptr<Task>& task, std::chrono::milliseconds limit)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, limit, [&] { return task->done; });
    }

    bool isDone(const std::shared_ptr<Task>& task)
    {
        std::lock_guard lock(m_mutex);
        return task->done;
    }

    void stop()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
        wait();
    }

protected:
    void run() override
    {
        for (;;) {
            std::shared_ptr<Task> task;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [&] { return m_stopping || !m_queue.empty(); });
                if (m_queue.empty())
                    return;
                task = std::move(m_queue.front());
                m_queue.pop_front();
            }
            try {
                task->job();
            } catch (...) {
                task->error = std::current_exception();
            }
            task->job = nullptr;  // what the job holds is let go of here, on this thread
            {
                std::lock_guard lock(m_mutex);
                task->done = true;
            }
            m_changed.notify_all();
            // Wakes a waiting event loop; the notifier outlives this thread.
            QMetaObject::invokeMethod(
                m_notifier,
                [task] {
                    if (task->loop)
                        task->loop->quit();
                },
                Qt::QueuedConnection);
        }
    }

private:
    QObject* m_notifier;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::shared_ptr<Task>> m_queue;
    bool m_stopping = false;
};

OfficeThread::OfficeThread()
    : m_notifier(std::make_unique<QObject>())
{
    m_worker = std::make_unique<Worker>(m_notifier.get());
    m_worker->start();
}

OfficeThread::~OfficeThread()
{
    m_worker->stop();
}

bool OfficeThread::isCurrent() const
{
    return QThread::currentThread() == m_worker.get();
}

void OfficeThread::run(const std::function<void()>& job, Wait wait)
{
    if (isCurrent()) {  // a job that needs another job's work does it at once
        job();
        return;
    }
    auto task = std::make_shared<Task>();
    task->job = job;
    m_worker->post(task);

    QCoreApplication* app = QCoreApplication::instance();
    const bool painting = wait == Wait::Painting && app && QThread::currentThread() == app->thread() && m_notifier->thread() == app->thread();
    if (painting)
        waitPainting(task);
    else
        m_worker->waitFor(task);

    if (task->error)
        std::rethrow_exception(task->error);
}

bool OfficeThread::runWithin(const std::function<void()>& job, std::chrono::milliseconds limit)
{
    auto task = std::make_shared<Task>();
    task->job = job;
    m_worker->post(task);
    return m_worker->waitFor(task, limit);
}

void OfficeThread::waitPainting(const std::shared_ptr<Task>& task)
{
    QEventLoop loop;
    task->loop = &loop;

    // The starting notice, while the office is starting.
    std::function<void()> endNotice;
    bool noticed = false;
    auto follow = [&] {
        if (!g_startingNotice)
            return;
        if (m_starting && !noticed) {
            noticed = true;
            endNotice = g_startingNotice(StartingText);
        } else if (!m_starting && noticed) {
            noticed = false;
            if (endNotice)
                std::exchange(endNotice, nullptr)();
        }
    };
    QTimer probe;
    probe.setInterval(50);
    QObject::connect(&probe, &QTimer::timeout, &loop, follow);
    probe.start();
    follow();

    // User input waits for the end of the job, as it would behind a blocking call;
    // an event loop stopped from outside (the application quitting) waits again.
    while (!m_worker->isDone(task))
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    task->loop = nullptr;
    if (endNotice)
        endNotice();
}
