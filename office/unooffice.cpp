#include "office/unooffice.h"
#include "office/unoofficeprivate.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <csignal>
#include <mutex>
#include <sys/prctl.h>
#include <unistd.h>
#include <vector>

using namespace unosupport;

namespace {

const QString OfficeFailedText = QStringLiteral("ცხრილების პროგრამა ვერ ჩაიტვირთა");

// soffice.bin asks to be started again (after setting up a new profile) with this code.
constexpr int RestartExitCode = 81;
constexpr int StartAttempts = 3;
constexpr int ConnectTimeoutMs = 60000;
constexpr int ConnectRetryMs = 50;
constexpr std::chrono::seconds StopLimit{15};

// The office's version as its installation states it ("7.4"), or nothing.
QString installedVersion()
{
    QFile registry(OfficeProgram + QStringLiteral("/../share/registry/main.xcd"));
    if (!registry.open(QIODevice::ReadOnly))
        return {};
    static const QRegularExpression version(
        QStringLiteral("oor:name=\"ooSetupVersion\">\\s*<value>([^<]+)</value>"));
    const QRegularExpressionMatch m = version.match(QString::fromUtf8(registry.readAll()));
    return m.hasMatch() ? m.captured(1) : QString();
}

// A new profile that knows it has met this version of the office before: without
// that, every start of a headless office (which never records the version itself)
// first runs its graphics self-tests, some four seconds.
void seedProfile(const QString& folder)
{
    const QString version = installedVersion();
    if (version.isEmpty() || !QDir(folder).mkpath(QStringLiteral("user")))
        return;
    QFile settings(QDir(folder).filePath(QStringLiteral("user/registrymodifications.xcu")));
    if (!settings.open(QIODevice::WriteOnly))
        return;
    settings.write(
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
            "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
            "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n"
            "<item oor:path=\"/org.openoffice.Setup/Product\"><prop oor:name=\"ooSetupLastVersion\" "
            "oor:op=\"fuse\"><value>%1</value></prop></item>\n"
            "</oor:items>\n")
            .arg(version.toHtmlEscaped())
            .toUtf8());
}

}  // namespace

// --- the office process and the connection to it --------------------------------

UnoOffice::Private::~Private()
{
    // An office that does not answer must not keep the program from ending: killed,
    // its pending call fails and the office thread goes on.
    if (!thread.runWithin([&] { stopOffice(); }, StopLimit) && pid > 0)
        ::kill(pid_t(pid), SIGKILL);
    thread.runWithin(
        [&] {
            if (Reference<css::lang::XComponent> context{local, UNO_QUERY}; context.is())
                context->dispose();
            local.clear();
            profile.reset();
        },
        StopLimit);
}

void UnoOffice::Private::ensureRunning()
{
    const bool ended = process && (process->state() == QProcess::NotRunning || process->waitForFinished(0));
    if (!desktop.is() || ended) {
        stopOffice();
        startOffice();
    }
}

bool UnoOffice::Private::answers()
{
    if (!desktop.is() || !process || process->state() == QProcess::NotRunning || process->waitForFinished(0))
        return false;
    try {
        remote->getServiceManager();
        return true;
    } catch (const css::uno::RuntimeException&) {
        return false;
    }
}

void UnoOffice::Private::startOffice()
{
    thread.setStarting(true);
    auto done = qScopeGuard([&] { thread.setStarting(false); });

    try {
        if (!local.is()) {
            // The office's own bootstrap files name the type libraries; set for this
            // process only, not through its environment.
            rtl::Bootstrap::set(OUString("URE_BOOTSTRAP"),
                                ou(QStringLiteral("vnd.sun.star.pathname:") + OfficeProgram + QStringLiteral("/fundamentalrc")));
            local = cppu::defaultBootstrap_InitialComponentContext(
                ou(QUrl::fromLocalFile(OfficeProgram + QStringLiteral("/unorc")).toString()));
        }
    } catch (const cppu::BootstrapException& e) {
        throw SpreadsheetError(OfficeFailedText + QStringLiteral(": ") + qs(e.getMessage()));
    }
    if (!profile) {
        profile =
            std::make_unique<QTemporaryDir>(QDir::temp().filePath(QStringLiteral("kelvora-office-XXXXXX")));
        if (!profile->isValid())
            throw SpreadsheetError(OfficeFailedText + QStringLiteral(": ") + profile->errorString());
        seedProfile(profile->path());
    }
    // A pipe (a local socket) is the office's only way in; its name is ours alone.
    pipe = QStringLiteral("kelvora-%1-%2")
               .arg(QCoreApplication::applicationPid())
               .arg(QRandomGenerator::global()->generate64(), 0, 16);
    const QStringList arguments = {
        QStringLiteral("--headless"),
        QStringLiteral("--invisible"),
        QStringLiteral("--nologo"),
        QStringLiteral("--norestore"),
        QStringLiteral("--nodefault"),
        QStringLiteral("--nolockcheck"),
        QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile->path()).toString(QUrl::FullyEncoded),
        QStringLiteral("--accept=pipe,name=%1;urp;StarOffice.ComponentContext").arg(pipe),
    };
    const OUString connectUrl =
        ou(QStringLiteral("uno:pipe,name=%1;urp;StarOffice.ComponentContext").arg(pipe));
    Reference<css::bridge::XUnoUrlResolver> resolver = css::bridge::UnoUrlResolver::create(local);

    for (int attempt = 0; attempt < StartAttempts; ++attempt) {
        process = std::make_unique<QProcess>();
        process->setProgram(OfficeProgram + QStringLiteral("/soffice.bin"));
        process->setArguments(arguments);
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());
        // The office ends with the thread that owns it, even when the program is killed.
        process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        process->start();
        if (!process->waitForStarted(10000))
            throw SpreadsheetError(OfficeFailedText + QStringLiteral(": ") + process->errorString());

        QElapsedTimer clock;
        clock.start();
        for (;;) {
            try {
                Reference<css::uno::XInterface> context = resolver->resolve(connectUrl);
                remote.set(context, UNO_QUERY_THROW);
                desktop = css::frame::Desktop::create(remote);
                pid = process->processId();
                ++startCount;
                return;
            } catch (const css::connection::NoConnectException&) {
                // not listening yet
            }
            if (process->waitForFinished(ConnectRetryMs))
                break;
            if (clock.elapsed() > ConnectTimeoutMs) {
                process->kill();
                process->waitForFinished(3000);
                throw SpreadsheetError(OfficeFailedText);
            }
        }
        if (process->exitStatus() != QProcess::NormalExit || process->exitCode() != RestartExitCode)
            break;
    }
    const QString code = process->exitStatus() == QProcess::NormalExit ? QString::number(process->exitCode())
                                                                       : process->errorString();
    process.reset();
    throw SpreadsheetError(OfficeFailedText + QStringLiteral(" (") + code + QStringLiteral(")"));
}

void UnoOffice::Private::stopOffice()
{
    if (desktop.is() && process && process->state() != QProcess::NotRunning) {
        try {
            desktop->terminate();
        } catch (const css::uno::Exception&) {
            // the office ends as it goes away; the process is ended below otherwise
        }
    }
    desktop.clear();
    remote.clear();
    if (process) {
        if (process->state() != QProcess::NotRunning && !process->waitForFinished(5000)) {
            process->kill();
            process->waitForFinished(3000);
        }
        // An office that was killed leaves the socket file of its pipe behind.
        if (process->exitStatus() == QProcess::CrashExit)
            QFile::remove(QStringLiteral("/tmp/OSL_PIPE_%1_%2").arg(::getuid()).arg(pipe));
        process.reset();
    }
    pid = 0;
}

Reference<css::lang::XComponent> UnoOffice::Private::loadOnce(const QString& path,
                                                              const Sequence<css::beans::PropertyValue>& how)
{
    Reference<css::lang::XComponent> doc =
        desktop->loadComponentFromURL(fileUrl(path), OUString("_blank"), 0, how);
    if (!doc.is())
        throw SpreadsheetError(TemplateFailedText.arg(QDir::toNativeSeparators(path)));
    return doc;
}

Reference<css::lang::XComponent> UnoOffice::Private::load(const QString& path,
                                                          const Sequence<css::beans::PropertyValue>& how)
{
    ensureRunning();
    try {
        return loadOnce(path, how);
    } catch (const css::uno::RuntimeException&) {
        // An office that died since the last job shows as a dead bridge: start it
        // again once and retry; any other failure is the template's.
        if (answers())
            throw;
        stopOffice();
        startOffice();
        return loadOnce(path, how);
    }
}

QString UnoOffice::Private::nextPrintFile()
{
    std::lock_guard lock(settingsMutex);
    if (printFolder.isEmpty())
        return {};
    return QDir(printFolder).filePath(QStringLiteral("print-%1.pdf").arg(++printJobs));
}

// --- the application ---------------------------------------------------------------

UnoOffice::UnoOffice()
    : m_d(std::make_unique<Private>()) {}

UnoOffice::~UnoOffice() = default;

std::unique_ptr<Workbook> UnoOffice::newWorkbook(const QString& templatePath)
{
    std::unique_ptr<Workbook> book;
    m_d->call([&] {
        const Sequence<css::beans::PropertyValue> how = sequence({
            property("AsTemplate", Any(true)), property("Hidden", Any(true)),
            property("MacroExecutionMode", Any(sal_Int16(0))),  // never run the template's macros
        });
        Reference<css::lang::XComponent> doc = m_d->load(templatePath, how);
        try {
            book = makeUnoWorkbook(m_d.get(), doc);
        } catch (...) {
            Reference<css::util::XCloseable>(doc, UNO_QUERY_THROW)->close(true);
            throw;
        }
    });
    return book;
}

void UnoOffice::start()
{
    m_d->call([&] { m_d->ensureRunning(); });
}

void UnoOffice::convert(const QString& source, const QString& target)
{
    static const QHash<QString, QString> filters = {
        {QStringLiteral("xls"), QStringLiteral("MS Excel 97")},
        {QStringLiteral("xlsx"), QStringLiteral("Calc MS Excel 2007 XML")},
        {QStringLiteral("ods"), QStringLiteral("calc8")},
        {QStringLiteral("fods"), QStringLiteral("OpenDocument Spreadsheet Flat XML")},
    };
    const QString filter = filters.value(QFileInfo(target).suffix().toLower());
    if (filter.isEmpty())
        throw SpreadsheetError(TemplateFailedText.arg(target));
    m_d->call([&] {
        Reference<css::lang::XComponent> doc = m_d->load(source, sequence({property("Hidden", Any(true))}));
        try {
            Reference<css::frame::XStorable>(doc, UNO_QUERY_THROW)
                ->storeToURL(fileUrl(target), sequence({property("FilterName", Any(ou(filter)))}));
        } catch (...) {
            Reference<css::util::XCloseable>(doc, UNO_QUERY_THROW)->close(true);
            throw;
        }
        Reference<css::util::XCloseable>(doc, UNO_QUERY_THROW)->close(true);
    });
}

void UnoOffice::setPrintFolder(const QString& folder)
{
    std::lock_guard lock(m_d->settingsMutex);
    m_d->printFolder = folder;
}

void UnoOffice::setViewer(std::function<void(const QString&)> viewer)
{
    std::lock_guard lock(m_d->settingsMutex);
    m_d->viewer = std::move(viewer);
}

qint64 UnoOffice::processId() const
{
    return m_d->pid;
}

int UnoOffice::starts() const
{
    return m_d->startCount;
}
