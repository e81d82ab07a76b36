#include "office/calcformula.h"
#include "office/cellref.h"
#include "office/unoofficeprivate.h"
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

using namespace unosupport;

namespace {

const QString FormulaRefusedText = QStringLiteral("ფორმულა მიუღებელია: %1");
const QString CellNameText = QStringLiteral("უჯრის მისამართი არასწორია: %1");

// The errors of LibreOffice's formula compiler: a formula it cannot read (missing
// bracket, operator or operand, invalid character, ...). Errors of calculation
// (#DIV/0!, #VALUE!, #NAME?) belong to a formula that stands.
bool isSyntaxError(sal_Int32 code)
{
    return code == 501 || (code >= 507 && code <= 512) || (code >= 516 && code <= 518) || code == 520 || code == 521;
}
// Date formats in the program's own forms, as LibreOffice format codes (en-US keywords).
const QString DateFormatCode = QStringLiteral("DD.MM.YYYY");
const QString DateTimeFormatCode = QStringLiteral("DD.MM.YYYY HH:MM");
// Shown workbooks are kept this long for the user's office to read them.
constexpr qint64 ShownFileDays = 2;

// A cell value as the office takes it.
struct CellValue
{
    enum class Kind { Empty,
                      Number,
                      Date,
                      DateTime,
                      Text };
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

CellRef::Cell parseCell(const QString& name)
{
    const auto cell = CellRef::parse(name);
    if (!cell)
        throw SpreadsheetError(CellNameText.arg(name));
    return *cell;
}

// --- workbooks and their first worksheet ------------------------------------------

class UnoWorksheet : public Worksheet
{
public:
    UnoWorksheet(UnoOffice::Private* office)
        : m_office(office) {}

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
    return double(m_nullDate.daysTo(moment.date())) + double(moment.time().msecsSinceStartOfDay()) / 86400000.0;
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
    if (viewer) {
        viewer(file);
    } else {
        // The office's launcher writes its own warnings (javaldx and the like)
        // on every start: they are not the program's to show.
        QProcess office;
        office.setProgram(OfficeProgram + QStringLiteral("/soffice"));
        office.setArguments({QStringLiteral("--calc"), QStringLiteral("-n"), file});
        office.setStandardOutputFile(QProcess::nullDevice());
        office.setStandardErrorFile(QProcess::nullDevice());
        office.startDetached();
    }
}

}  // namespace

std::unique_ptr<Workbook> makeUnoWorkbook(UnoOffice::Private* office, Reference<css::lang::XComponent> doc)
{
    return std::make_unique<UnoWorkbook>(office, std::move(doc));
}
