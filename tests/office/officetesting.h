#pragma once

#include "office/cellref.h"
#include "office/spreadsheet.h"
#include "office/unooffice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QMap>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <memory>

// Helpers for the tests that drive the real LibreOffice: one headless office per
// test program, printing into files and keeping the workbooks it would show, and
// a reader of those workbooks (LibreOffice flat XML) that sees each cell's type,
// value, shown text, formula and boldness without going through the layer.
namespace OfficeTesting {

// The program's templates are made next to the executable, one folder above the tests.
// The width in centimetres of `text` set in DejaVu Sans, the templates' font.
inline double textWidth(const QString& text, double points, bool bold)
{
    QImage device(1, 1, QImage::Format_RGB32);
    device.setDotsPerMeterX(2835);  // 72 dots an inch: widths in points
    device.setDotsPerMeterY(2835);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return QFontMetricsF(font, &device).horizontalAdvance(text) * 2.54 / 72;
}

// The widest word of a heading: where a wrapping cell may break it, no further.
inline double widestWord(const QString& heading, double points, bool bold)
{
    double widest = 0;
    for (const QString& word : heading.split(u' ', Qt::SkipEmptyParts))
        widest = std::max(widest, textWidth(word, points, bold));
    return widest;
}

// An amount as a sheet shows it with two decimals, either separator.
inline bool showsTwoDecimals(const QString& shown)
{
    static const QRegularExpression twoDecimals(QStringLiteral("^-?[\\d\\s,.\u00a0]*\\d[.,]\\d\\d$"));
    return twoDecimals.match(shown).hasMatch();
}

inline QString shippedTemplate(const QString& fileName)
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../") + fileName);
}

struct Cell
{
    QString type;     // office:value-type: "float", "string", "date", ...; empty for an empty cell
    QString value;    // office:value or office:date-value
    QString text;     // the text shown
    QString formula;  // table:formula
    bool bold = false;
    bool isEmpty() const { return type.isEmpty() && formula.isEmpty(); }
};

// The first sheet of a flat XML workbook.
class Sheet
{
public:
    explicit Sheet(const QString& file)
    {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) {
            m_error = QStringLiteral("cannot open ") + file;
            return;
        }
        QXmlStreamReader xml(&f);
        QHash<QString, QString> parents;
        QHash<QString, bool> boldStyles;
        QString style;                       // the cell style being read
        QString columnStyle;                 // the column style being read
        QStringList columnStyles;            // default cell style of each column
        QHash<QString, double> styleWidths;  // column style -> width in cm
        bool inTable = false;
        int row = 0;
        int nextRow = 0;
        int rowRepeat = 1;
        int column = 0;
        QList<std::pair<int, Cell>> rowCells;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isEndElement() && inTable) {
                if (xml.name() == QLatin1String("table"))
                    break;  // the first sheet only
                if (xml.name() == QLatin1String("table-row")) {
                    // Identical rows in a row are written once with a count.
                    for (int r = 0; r < rowRepeat && !rowCells.isEmpty() && r < 100000; ++r)
                        for (const auto& [col, c] : rowCells)
                            m_cells.insert(key(col, row + r), c);
                    rowCells.clear();
                }
                continue;
            }
            if (!xml.isStartElement())
                continue;
            const auto a = xml.attributes();
            const auto name = xml.name();
            if (name == QLatin1String("style") || name == QLatin1String("default-style")) {
                style.clear();
                columnStyle = a.value(QLatin1String("style:family")) == QLatin1String("table-column")
                                  ? a.value(QLatin1String("style:name")).toString()
                                  : QString();
                if (a.value(QLatin1String("style:family")) == QLatin1String("table-cell")) {
                    style = a.value(QLatin1String("style:name")).toString();
                    parents.insert(style, a.value(QLatin1String("style:parent-style-name")).toString());
                }
            } else if (name == QLatin1String("text-properties") && !style.isEmpty() && !inTable) {
                const QString weight = a.value(QLatin1String("fo:font-weight")).toString();
                if (!weight.isEmpty())
                    boldStyles.insert(style, weight == QLatin1String("bold"));
            } else if (name == QLatin1String("table")) {
                inTable = true;
            } else if (name == QLatin1String("table-column-properties") && !columnStyle.isEmpty()) {
                styleWidths.insert(columnStyle, centimetres(a.value(QLatin1String("style:column-width")).toString()));
            } else if (inTable && name == QLatin1String("table-column")) {
                const int repeat =
                    std::max(1, a.value(QLatin1String("table:number-columns-repeated")).toInt());
                const double width = styleWidths.value(a.value(QLatin1String("table:style-name")).toString());
                for (int i = 0; i < repeat && columnStyles.size() < 1024; ++i) {
                    columnStyles.append(a.value(QLatin1String("table:default-cell-style-name")).toString());
                    m_columnWidths.append(width);
                }
            } else if (inTable && name == QLatin1String("table-row")) {
                rowRepeat = std::max(1, a.value(QLatin1String("table:number-rows-repeated")).toInt());
                row = nextRow;
                nextRow += rowRepeat;
                column = 0;
            } else if (inTable && (name == QLatin1String("table-cell") || name == QLatin1String("covered-table-cell"))) {
                const int repeat =
                    std::max(1, a.value(QLatin1String("table:number-columns-repeated")).toInt());
                Cell c;
                c.type = a.value(QLatin1String("office:value-type")).toString();
                c.value = a.value(QLatin1String("office:value")).toString();
                if (c.value.isEmpty())
                    c.value = a.value(QLatin1String("office:date-value")).toString();
                c.formula = a.value(QLatin1String("table:formula")).toString();
                QString cellStyle = a.value(QLatin1String("table:style-name")).toString();
                if (cellStyle.isEmpty() && column < columnStyles.size())
                    cellStyle = columnStyles[column];
                c.bold = isBold(cellStyle, parents, boldStyles);
                c.text = readText(xml);
                if (!c.isEmpty() || c.bold)
                    for (int i = 0; i < repeat && i < 64; ++i)
                        rowCells.append({column + i, c});
                column += repeat;
            }
        }
        if (xml.hasError())
            m_error = xml.errorString();
    }

    bool isValid() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }

    Cell cell(const QString& name) const
    {
        const auto c = CellRef::parse(name);
        return c ? m_cells.value(key(c->column, c->row)) : Cell{};
    }
    QString text(const QString& name) const { return cell(name).text; }
    // The width of a column (0 for A) in centimetres, 0 when the sheet does not say.
    double columnWidth(int column) const { return column < m_columnWidths.size() ? m_columnWidths[column] : 0; }

    // The last row (counted from 1) with a value in column `column` (a letter).
    int lastRow(const QString& column) const
    {
        const auto c = CellRef::parse(column + QStringLiteral("1"));
        int last = 0;
        for (auto it = m_cells.cbegin(); it != m_cells.cend(); ++it)
            if (int(it.key() >> 32) == c->column && !it.value().isEmpty())
                last = std::max(last, int(it.key() & 0xffffffff) + 1);
        return last;
    }

private:
    static qint64 key(int column, int row) { return (qint64(column) << 32) | qint64(row); }

    // "1.7cm", "17mm", "0.6693in", "48.2pt" in centimetres.
    static double centimetres(const QString& length)
    {
        static const std::pair<const char*, double> units[] = {{"cm", 1}, {"mm", 0.1}, {"in", 2.54}, {"pt", 2.54 / 72}};
        for (const auto& [unit, factor] : units)
            if (length.endsWith(QLatin1String(unit)))
                return length.chopped(2).toDouble() * factor;
        return 0;
    }

    static bool isBold(QString style, const QHash<QString, QString>& parents,
                       const QHash<QString, bool>& bold)
    {
        for (int depth = 0; !style.isEmpty() && depth < 8; ++depth) {
            if (bold.contains(style))
                return bold.value(style);
            style = parents.value(style);
        }
        return false;
    }

    // The text of a cell's paragraphs, with LibreOffice's spacing elements; reads
    // up to the end of the cell.
    static QString readText(QXmlStreamReader& xml)
    {
        QString text;
        int paragraphs = 0;
        int depth = 1;
        int paragraphDepth = 0;  // inside a paragraph: its depth
        while (depth > 0 && !xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement()) {
                ++depth;
                if (xml.name() == QLatin1String("p")) {
                    if (paragraphs++ > 0)
                        text += u'\n';
                    paragraphDepth = depth;
                } else if (xml.name() == QLatin1String("s")) {
                    text +=
                        QString(std::max(1, xml.attributes().value(QLatin1String("text:c")).toInt()), u' ');
                } else if (xml.name() == QLatin1String("tab")) {
                    text += u'\t';
                }
            } else if (xml.isEndElement()) {
                if (depth == paragraphDepth)
                    paragraphDepth = 0;
                --depth;
            } else if (xml.isCharacters() && paragraphDepth > 0) {
                text += xml.text();
            }
        }
        return text;
    }

    QMap<qint64, Cell> m_cells;
    QList<double> m_columnWidths;
    QString m_error;
};

// The office of one test program: headless, printing into files in a folder of
// its own, and keeping the files of the workbooks it shows.
class TestOffice
{
public:
    TestOffice()
    {
        m_office.setPrintFolder(m_prints.path());
        m_office.setViewer([this](const QString& file) { m_shown.append(file); });
    }

    UnoOffice& office() { return m_office; }
    QString folder() const { return m_files.path(); }
    QString file(const QString& name) const { return m_files.filePath(name); }

    QStringList prints() const
    {
        return QDir(m_prints.path()).entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Name);
    }
    // The start of a print job's file: the office prints to a file as PDF.
    QByteArray printStart(const QString& name) const
    {
        QFile f(QDir(m_prints.path()).filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.read(4) : QByteArray();
    }
    QString printFile(const QString& name) const { return QDir(m_prints.path()).filePath(name); }
    qint64 printSize(const QString& name) const
    {
        return QFileInfo(QDir(m_prints.path()).filePath(name)).size();
    }
    void clearPrints()
    {
        for (const QString& f : prints())
            QFile::remove(QDir(m_prints.path()).filePath(f));
    }

    ~TestOffice() { clearShown(); }

    const QStringList& shown() const { return m_shown; }
    void clearShown()
    {
        for (const QString& file : m_shown)
            QFile::remove(file);
        m_shown.clear();
    }

    // A workbook written here as flat XML (a test's own template) and stored by the
    // office at `name` (a path inside this office's folder) in the format its
    // extension stands for. Made once: a name made before is simply returned.
    QString makeWorkbook(const QString& name, const QString& flatXml)
    {
        const QString target = file(name);
        if (QFileInfo::exists(target))
            return target;
        QDir().mkpath(QFileInfo(target).absolutePath());
        QString sourceName = name;
        sourceName.replace(u'/', u'-').replace(u'.', u'-');
        const QString source = file(sourceName + QStringLiteral(".fods"));
        QFile f(source);
        if (!f.open(QIODevice::WriteOnly) || f.write(flatXml.toUtf8()) < 0)
            return {};
        f.close();
        m_office.convert(source, target);
        return target;
    }

private:
    QTemporaryDir m_files;
    QTemporaryDir m_prints;
    QStringList m_shown;
    UnoOffice m_office;  // last: ended first, while the folders still exist
};

// Hands every request to the office and notes what happens to each workbook:
// "new <file>", "print", "close", "show". A workbook closed is shown instead, so
// that the test reads back what would have been thrown away.
class RecordingOffice : public Spreadsheet
{
public:
    explicit RecordingOffice(Spreadsheet& office)
        : m_office(office) {}

    std::unique_ptr<Workbook> newWorkbook(const QString& templatePath) override
    {
        log.append(QStringLiteral("new ") + QFileInfo(templatePath).fileName());
        return std::make_unique<Book>(log, m_office.newWorkbook(templatePath));
    }

    QStringList log;

private:
    class Book : public Workbook
    {
    public:
        Book(QStringList& log, std::unique_ptr<Workbook> book)
            : m_log(log), m_book(std::move(book)) {}
        Worksheet& firstSheet() override { return m_book->firstSheet(); }
        void print() override
        {
            m_log.append(QStringLiteral("print"));
            m_book->print();
        }
        void close() override
        {
            m_log.append(QStringLiteral("close"));
            m_book->show();
        }
        void show() override
        {
            m_log.append(QStringLiteral("show"));
            m_book->show();
        }

    private:
        QStringList& m_log;
        std::unique_ptr<Workbook> m_book;
    };

    Spreadsheet& m_office;
};

// A small flat XML workbook: its first sheet with the given cells (name -> value;
// a number is written as a number, anything else as text).
inline QString flatWorkbook(const QMap<QString, QVariant>& cells,
                            const QString& sheetName = QStringLiteral("Sheet1"))
{
    QMap<int, QMap<int, QVariant>> rows;
    for (auto it = cells.cbegin(); it != cells.cend(); ++it) {
        const auto c = CellRef::parse(it.key());
        rows[c->row][c->column] = it.value();
    }
    QString body;
    int nextRow = 0;
    for (auto r = rows.cbegin(); r != rows.cend(); ++r) {
        if (r.key() > nextRow)
            body +=
                QStringLiteral("<table:table-row "
                               "table:number-rows-repeated=\"%1\"><table:table-cell/></table:table-row>\n")
                    .arg(r.key() - nextRow);
        body += QStringLiteral("<table:table-row>");
        int nextColumn = 0;
        for (auto c = r->cbegin(); c != r->cend(); ++c) {
            if (c.key() > nextColumn)
                body += QStringLiteral("<table:table-cell table:number-columns-repeated=\"%1\"/>")
                            .arg(c.key() - nextColumn);
            const QVariant v = c.value();
            const QString text = v.toString().toHtmlEscaped();
            if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Int)
                body += QStringLiteral("<table:table-cell office:value-type=\"float\" "
                                       "office:value=\"%1\"><text:p>%1</text:p></table:table-cell>")
                            .arg(text);
            else
                body += QStringLiteral("<table:table-cell "
                                       "office:value-type=\"string\"><text:p>%1</text:p></table:table-cell>")
                            .arg(text);
            nextColumn = c.key() + 1;
        }
        body += QStringLiteral("</table:table-row>\n");
        nextRow = r.key() + 1;
    }
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\"\n"
               " xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\"\n"
               " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"\n"
               " office:version=\"1.3\" office:mimetype=\"application/vnd.oasis.opendocument.spreadsheet\">\n"
               "<office:body><office:spreadsheet><table:table table:name=\"%1\">\n%2"
               "</table:table></office:spreadsheet></office:body></office:document>\n")
        .arg(sheetName.toHtmlEscaped(), body);
}

}  // namespace OfficeTesting
