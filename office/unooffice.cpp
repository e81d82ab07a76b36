#include "office/unooffice.h"
#include "office/calcformula.h"
#include "office/cellref.h"
#include "office/officethread.h"
#include "data/formats.h"
#include "data/money.h"

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

#include <com/sun/star/awt/FontWeight.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XMultiPropertySet.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/lang/XMultiComponentFactory.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <com/sun/star/util/Date.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XNumberFormats.hpp>
#include <com/sun/star/util/XNumberFormatsSupplier.hpp>
#include <com/sun/star/view/XPrintable.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <rtl/bootstrap.hxx>
#include <rtl/ustring.hxx>

namespace css = ::com::sun::star;
using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using rtl::OUString;

namespace {

const QString OfficeFailedText = QStringLiteral("ცხრილების პროგრამა ვერ ჩაიტვირთა");
const QString OfficeErrorText = QStringLiteral("ცხრილების პროგრამის შეცდომა");
const QString TemplateFailedText = QStringLiteral("შაბლონი ვერ გაიხსნა: %1");
const QString FormulaRefusedText = QStringLiteral("ფორმულა მიუღებელია: %1");
const QString CellNameText = QStringLiteral("უჯრის მისამართი არასწორია: %1");

const QString OfficeProgram = QStringLiteral(KELVORA_OFFICE_PROGRAM);
// soffice.bin asks to be started again (after setting up a new profile) with this code.
constexpr int RestartExitCode = 81;
constexpr int StartAttempts = 3;
constexpr int ConnectTimeoutMs = 60000;
constexpr int ConnectRetryMs = 50;
constexpr std::chrono::seconds StopLimit{15};
// The errors of LibreOffice's formula compiler: a formula it cannot read (missing
// bracket, operator or operand, invalid character, ...). Errors of calculation
// (#DIV/0!, #VALUE!, #NAME?) belong to a formula that stands.
bool isSyntaxError(sal_Int32 code)
{
    return code == 501 || (code >= 507 && code <= 512) || (code >= 516 && code <= 518) || code == 520 ||
           code == 521;
}
// Date formats in the program's own forms, as LibreOffice format codes (en-US keywords).
const QString DateFormatCode = QStringLiteral("DD.MM.YYYY");
const QString DateTimeFormatCode = QStringLiteral("DD.MM.YYYY HH:MM");
// Shown workbooks are kept this long for the user's office to read them.
constexpr qint64 ShownFileDays = 2;

OUString ou(const QString& text)
{
    return OUString(reinterpret_cast<const sal_Unicode*>(text.utf16()), sal_Int32(text.size()));
}

QString qs(const OUString& text)
{
    return QString(reinterpret_cast<const QChar*>(text.getStr()), text.getLength());
}

OUString fileUrl(const QString& path)
{
    return ou(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded));
}

css::beans::PropertyValue property(const char* name, const Any& value)
{
    css::beans::PropertyValue p;
    p.Name = OUString::createFromAscii(name);
    p.Value = value;
    return p;
}

// Sequence has no initializer-list constructor of its own.
template <typename T> Sequence<T> sequence(std::initializer_list<T> items)
{
    return Sequence<T>(items.begin(), sal_Int32(items.size()));
}

// A cell value as the office takes it.
struct CellValue
{
    enum class Kind { Empty, Number, Date, DateTime, Text };
    Kind kind = Kind::Empty;
    double number = 0;
    QDateTime moment;
    QString text;
};

CellValue cellValue(const QVariant& value)
{
    CellValue v;
    if (!value.isValid() || value.isNull())
        return v;
    const int type = value.typeId();
    if (type == qMetaTypeId<Money>()) {
        v.kind = CellValue::Kind::Number;
        v.number = value.value<Money>().toDouble();
        return v;
    }
    switch (type) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Bool:
        v.kind = CellValue::Kind::Number;
        v.number = value.toDouble();
        return v;
    case QMetaType::QDate:
    case QMetaType::QDateTime: {
        const QDateTime moment = type == QMetaType::QDate ? value.toDate().startOfDay() : value.toDateTime();
        if (!moment.isValid())
            return v;
        v.kind = moment.time() == QTime(0, 0) ? CellValue::Kind::Date : CellValue::Kind::DateTime;
        v.moment = moment;
        return v;
    }
    default:
        v.text = value.toString();
        if (!v.text.isEmpty())
            v.kind = CellValue::Kind::Text;
        return v;
    }
}

[[noreturn]] void rethrowOffice(const css::uno::Exception& e)
{
    const QString text = qs(e.Message).trimmed();
    throw SpreadsheetError(text.isEmpty() ? OfficeErrorText : text);
}

CellRef::Cell parseCell(const QString& name)
{
    const auto cell = CellRef::parse(name);
    if (!cell)
        throw SpreadsheetError(CellNameText.arg(name));
    return *cell;
}

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
                    rethrowOffice(e);
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
                                ou(QStringLiteral("vnd.sun.star.pathname:") + OfficeProgram +
                                   QStringLiteral("/fundamentalrc")));
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
        QStringLiteral("-env:UserInstallation=") +
            QUrl::fromLocalFile(profile->path()).toString(QUrl::FullyEncoded),
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

// --- workbooks and their first worksheet ------------------------------------------

namespace {

class UnoWorksheet : public Worksheet
{
public:
    UnoWorksheet(UnoOffice::Private* office) : m_office(office) {}

    // On the office thread.
    void attach(const Reference<css::lang::XComponent>& doc);
    void detach();

    QString text(const QString& cell) override;
    void setValue(const QString& cell, const QVariant& value) override;
    void setFormula(const QString& cell, const QString& entry) override;
    void setBold(const QString& from, const QString& to) override;
    void setValues(const QString& topLeft, const QList<QVariantList>& rows) override;

private:
    const Reference<css::sheet::XSpreadsheet>& sheet() const;  // throws once the workbook is closed
    Reference<css::table::XCell> cellAt(const QString& name) const;
    double serial(const QDateTime& moment) const;
    sal_Int32 formatKey(CellValue::Kind kind);
    void putValue(const Reference<css::table::XCell>& cell, const CellValue& value);

    UnoOffice::Private* m_office;
    Reference<css::sheet::XSpreadsheet> m_sheet;
    Reference<css::util::XNumberFormats> m_formats;
    QDate m_nullDate{1899, 12, 30};
    sal_Int32 m_dateKey = -1;
    sal_Int32 m_dateTimeKey = -1;
};

void UnoWorksheet::attach(const Reference<css::lang::XComponent>& doc)
{
    Reference<css::sheet::XSpreadsheetDocument> book(doc, UNO_QUERY_THROW);
    Reference<css::container::XIndexAccess> sheets(book->getSheets(), UNO_QUERY_THROW);
    m_sheet.set(sheets->getByIndex(0), UNO_QUERY_THROW);

    // Dates are day counts from the workbook's own null date (1904 in some old files).
    Reference<css::util::XNumberFormatsSupplier> supplier(doc, UNO_QUERY_THROW);
    m_formats = supplier->getNumberFormats();
    css::util::Date nullDate;
    if (supplier->getNumberFormatSettings()->getPropertyValue(OUString("NullDate")) >>= nullDate)
        m_nullDate = QDate(nullDate.Year, nullDate.Month, nullDate.Day);
}

void UnoWorksheet::detach()
{
    m_sheet.clear();
    m_formats.clear();
}

const Reference<css::sheet::XSpreadsheet>& UnoWorksheet::sheet() const
{
    if (!m_sheet.is())
        throw SpreadsheetError(OfficeErrorText);
    return m_sheet;
}

Reference<css::table::XCell> UnoWorksheet::cellAt(const QString& name) const
{
    const CellRef::Cell c = parseCell(name);
    return sheet()->getCellByPosition(c.column, c.row);
}

double UnoWorksheet::serial(const QDateTime& moment) const
{
    return double(m_nullDate.daysTo(moment.date())) +
           double(moment.time().msecsSinceStartOfDay()) / 86400000.0;
}

sal_Int32 UnoWorksheet::formatKey(CellValue::Kind kind)
{
    sal_Int32& key = kind == CellValue::Kind::Date ? m_dateKey : m_dateTimeKey;
    if (key < 0) {
        const OUString code = ou(kind == CellValue::Kind::Date ? DateFormatCode : DateTimeFormatCode);
        const css::lang::Locale english(OUString("en"), OUString("US"), OUString());
        key = m_formats->queryKey(code, english, false);
        if (key < 0)
            key = m_formats->addNew(code, english);
    }
    return key;
}

void UnoWorksheet::putValue(const Reference<css::table::XCell>& cell, const CellValue& value)
{
    switch (value.kind) {
    case CellValue::Kind::Empty:
        cell->setFormula(OUString());
        break;
    case CellValue::Kind::Number:
        cell->setValue(value.number);
        break;
    case CellValue::Kind::Date:
    case CellValue::Kind::DateTime:
        cell->setValue(serial(value.moment));
        Reference<css::beans::XPropertySet>(cell, UNO_QUERY_THROW)
            ->setPropertyValue(OUString("NumberFormat"), Any(formatKey(value.kind)));
        break;
    case CellValue::Kind::Text:
        Reference<css::text::XText>(cell, UNO_QUERY_THROW)->setString(ou(value.text));
        break;
    }
}

QString UnoWorksheet::text(const QString& cell)
{
    QString result;
    m_office->call(
        [&] { result = qs(Reference<css::text::XText>(cellAt(cell), UNO_QUERY_THROW)->getString()); });
    return result;
}

void UnoWorksheet::setValue(const QString& cell, const QVariant& value)
{
    const CellValue v = cellValue(value);
    m_office->call([&] { putValue(cellAt(cell), v); });
}

void UnoWorksheet::setFormula(const QString& cell, const QString& entry)
{
    if (!entry.startsWith(u'=')) {
        // A typed number becomes that number; anything else stays text as typed.
        CellValue v;
        if (const auto number = Formats::parseNumber(entry)) {
            v.kind = CellValue::Kind::Number;
            v.number = *number;
        } else if (!entry.isEmpty()) {
            v.kind = CellValue::Kind::Text;
            v.text = entry;
        }
        m_office->call([&] { putValue(cellAt(cell), v); });
        return;
    }
    const OUString formula = ou(CalcFormula::fromExcel(entry));
    m_office->call([&] {
        const Reference<css::table::XCell> target = cellAt(cell);
        target->setFormula(formula);
        const sal_Int32 error = target->getError();
        if (isSyntaxError(error))
            throw SpreadsheetError(FormulaRefusedText.arg(entry));
    });
}

void UnoWorksheet::setBold(const QString& from, const QString& to)
{
    const CellRef::Cell a = parseCell(from);
    const CellRef::Cell b = parseCell(to);
    m_office->call([&] {
        Reference<css::beans::XMultiPropertySet> range(
            sheet()->getCellRangeByPosition(std::min(a.column, b.column), std::min(a.row, b.row),
                                            std::max(a.column, b.column), std::max(a.row, b.row)),
            UNO_QUERY_THROW);
        // Bold for every script, as a spreadsheet's bold button sets it.
        const Any bold(css::awt::FontWeight::BOLD);
        range->setPropertyValues(
            sequence({OUString("CharWeight"), OUString("CharWeightAsian"), OUString("CharWeightComplex")}),
            sequence({bold, bold, bold}));
    });
}

void UnoWorksheet::setValues(const QString& topLeft, const QList<QVariantList>& rows)
{
    const CellRef::Cell origin = parseCell(topLeft);
    qsizetype width = 0;
    for (const QVariantList& row : rows)
        width = std::max(width, row.size());
    if (rows.isEmpty() || width == 0)
        return;

    // The values are made ready here, on the caller's thread; the office thread only sends them.
    Sequence<Sequence<Any>> data{sal_Int32(rows.size())};
    Sequence<Any>* dataRows = data.getArray();
    // Per column: the date kind it needs a format for, and the first and last row holding one.
    struct DateColumn
    {
        CellValue::Kind kind = CellValue::Kind::Empty;
        int first = -1;
        int last = -1;
    };
    std::vector<DateColumn> dates(static_cast<std::size_t>(width));
    const OUString empty;
    for (int r = 0; r < rows.size(); ++r) {
        Sequence<Any> line{sal_Int32(width)};
        Any* cells = line.getArray();
        const QVariantList& values = rows[r];
        for (int c = 0; c < width; ++c) {
            const CellValue v = c < values.size() ? cellValue(values[c]) : CellValue{};
            switch (v.kind) {
            case CellValue::Kind::Empty:
                cells[c] <<= empty;  // an empty text leaves the cell empty
                break;
            case CellValue::Kind::Number:
                cells[c] <<= v.number;
                break;
            case CellValue::Kind::Date:
            case CellValue::Kind::DateTime: {
                cells[c] <<= serial(v.moment);
                DateColumn& d = dates[std::size_t(c)];
                if (d.kind != CellValue::Kind::DateTime)
                    d.kind = v.kind;
                if (d.first < 0)
                    d.first = r;
                d.last = r;
                break;
            }
            case CellValue::Kind::Text:
                cells[c] <<= ou(v.text);
                break;
            }
        }
        dataRows[r] = std::move(line);
    }

    m_office->call([&] {
        Reference<css::sheet::XCellRangeData> range(
            sheet()->getCellRangeByPosition(origin.column, origin.row, origin.column + int(width) - 1,
                                            origin.row + int(rows.size()) - 1),
            UNO_QUERY_THROW);
        range->setDataArray(data);
        for (int c = 0; c < width; ++c) {
            const DateColumn& d = dates[std::size_t(c)];
            if (d.first < 0)
                continue;
            Reference<css::beans::XPropertySet> column(
                sheet()->getCellRangeByPosition(origin.column + c, origin.row + d.first, origin.column + c,
                                                origin.row + d.last),
                UNO_QUERY_THROW);
            column->setPropertyValue(OUString("NumberFormat"), Any(formatKey(d.kind)));
        }
    });
}

class UnoWorkbook : public Workbook
{
public:
    UnoWorkbook(UnoOffice::Private* office, Reference<css::lang::XComponent> doc)
        : m_office(office), m_doc(std::move(doc)), m_sheet(office)
    {
        m_sheet.attach(m_doc);  // on the office thread, where the workbook is made
    }
    ~UnoWorkbook() override;

    Worksheet& firstSheet() override { return m_sheet; }
    void print() override;
    void close() override;
    void show() override;

private:
    void closeDocument();  // on the office thread

    UnoOffice::Private* m_office;
    Reference<css::lang::XComponent> m_doc;
    UnoWorksheet m_sheet;
};

UnoWorkbook::~UnoWorkbook()
{
    try {
        m_office->call([&] {
            m_sheet.detach();
            try {
                closeDocument();
            } catch (const css::uno::Exception&) {
                m_doc.clear();  // an office that went away took the workbook with it
            }
        });
    } catch (...) {
        // nothing to be done about a workbook that cannot be closed
    }
}

void UnoWorkbook::closeDocument()
{
    if (!m_doc.is())
        return;
    Reference<css::util::XCloseable> closeable(m_doc, UNO_QUERY);
    const Reference<css::lang::XComponent> doc = std::move(m_doc);
    m_doc.clear();
    if (closeable.is())
        closeable->close(true);
    else
        doc->dispose();
}

void UnoWorkbook::print()
{
    const QString file = m_office->nextPrintFile();
    m_office->call([&] {
        if (!m_doc.is())
            throw SpreadsheetError(OfficeErrorText);
        // Wait: the job is handed to the printer before the workbook can be closed.
        Sequence<css::beans::PropertyValue> how =
            file.isEmpty()
                ? sequence({property("Wait", Any(true))})
                : sequence({property("Wait", Any(true)), property("FileName", Any(fileUrl(file)))});
        Reference<css::view::XPrintable>(m_doc, UNO_QUERY_THROW)->print(how);
    });
}

void UnoWorkbook::close()
{
    m_office->call([&] {
        m_sheet.detach();
        closeDocument();
    });
}

void UnoWorkbook::show()
{
    // The user's own LibreOffice opens a copy as a new untitled document; the copy
    // is stored where the office can read it after this program has gone on.
    const QDir folder(QDir::temp().filePath(QStringLiteral("kelvora-workbooks-%1").arg(::getuid())));
    folder.mkpath(QStringLiteral("."));
    const QDateTime now = QDateTime::currentDateTime();
    for (const QFileInfo& old : folder.entryInfoList(QDir::Files))
        if (old.lastModified().daysTo(now) >= ShownFileDays)
            QFile::remove(old.absoluteFilePath());
    const QString file = folder.filePath(QStringLiteral("workbook-%1-%2.fods")
                                             .arg(now.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")))
                                             .arg(QRandomGenerator::global()->bounded(1 << 30), 0, 16));

    m_office->call([&] {
        if (!m_doc.is())
            throw SpreadsheetError(OfficeErrorText);
        Reference<css::frame::XStorable>(m_doc, UNO_QUERY_THROW)
            ->storeToURL(
                fileUrl(file),
                sequence({property("FilterName", Any(OUString("OpenDocument Spreadsheet Flat XML")))}));
        m_sheet.detach();
        closeDocument();
    });

    std::function<void(const QString&)> viewer;
    {
        std::lock_guard lock(m_office->settingsMutex);
        viewer = m_office->viewer;
    }
    if (viewer)
        viewer(file);
    else
        QProcess::startDetached(OfficeProgram + QStringLiteral("/soffice"),
                                {QStringLiteral("--calc"), QStringLiteral("-n"), file});
}

}  // namespace

// --- the application ---------------------------------------------------------------

UnoOffice::UnoOffice() : m_d(std::make_unique<Private>()) {}

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
            book = std::make_unique<UnoWorkbook>(m_d.get(), doc);
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

// --- the program's one office ------------------------------------------------------

namespace {
UnoOffice* g_office = nullptr;
Spreadsheet* g_replacement = nullptr;
QString g_templateFolder;

void endOffice()
{
    delete g_office;
    g_office = nullptr;
}
}  // namespace

QString templateFolder()
{
    return g_templateFolder.isEmpty() ? QCoreApplication::applicationDirPath() : g_templateFolder;
}

void setTemplateFolder(const QString& folder)
{
    g_templateFolder = folder;
}

void setSpreadsheetApplication(Spreadsheet* office)
{
    g_replacement = office;
}

Spreadsheet& spreadsheetApplication()
{
    if (g_replacement)
        return *g_replacement;
    if (!g_office) {
        g_office = new UnoOffice;
        // Ended with the application; without one the office ends with the process.
        if (QCoreApplication::instance())
            qAddPostRoutine(endOffice);
    }
    return *g_office;
}
