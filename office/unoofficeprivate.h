#pragma once

// The office process and the connection to it, as the office's workbooks see it.
// Not for use outside office/.

#include "office/officethread.h"
#include "office/unooffice.h"
#include "office/unosupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

// --- the office process and the connection to it --------------------------------

class UnoOffice::Private
{
public:
    ~Private();

    // Runs `job` on the office thread; what the office throws becomes a SpreadsheetError.
    template <typename F> void call(F&& job, OfficeThread::Wait wait = OfficeThread::Wait::Painting)
    {
        thread.run(
            [&] {
                try {
                    job();
                } catch (const css::uno::Exception& e) {
                    unosupport::rethrowOffice(e);
                }
            },
            wait);
    }

    // On the office thread:
    void ensureRunning();
    void startOffice();
    void stopOffice();
    bool answers();  // the process runs and the bridge carries calls
    Reference<css::lang::XComponent> load(const QString& path,
                                          const Sequence<css::beans::PropertyValue>& how);
    Reference<css::lang::XComponent> loadOnce(const QString& path,
                                              const Sequence<css::beans::PropertyValue>& how);
    QString nextPrintFile();

    // Set from the user-interface thread before jobs that read them.
    std::mutex settingsMutex;
    QString printFolder;
    std::function<void(const QString&)> viewer;

    std::atomic<qint64> pid{0};
    std::atomic<int> startCount{0};
    std::atomic<int> printJobs{0};

    // Office thread only.
    Reference<css::uno::XComponentContext> local;
    Reference<css::uno::XComponentContext> remote;
    Reference<css::frame::XDesktop2> desktop;
    std::unique_ptr<QProcess> process;
    QString pipe;  // the name of the pipe the office listens on
    std::unique_ptr<QTemporaryDir> profile;

    // Declared last: destroyed first, after the jobs above let go of the office.
    OfficeThread thread;
};

// A workbook over a document the office has loaded (on the office thread).
std::unique_ptr<Workbook> makeUnoWorkbook(UnoOffice::Private* office, Reference<css::lang::XComponent> doc);
