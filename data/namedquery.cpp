#include "data/namedquery.h"
#include "data/connection.h"
#include "data/dberror.h"
#include "data/formats.h"
#include "data/rowreader.h"
#include "data/values.h"

#include <QRegularExpression>
#include <algorithm>
#include <optional>

NamedQuery::NamedQuery(const QString& name, const QString& sql, const QString& table, QObject* parent)
    : QObject(parent), m_name(name), m_sql(sql), m_table(table), m_writer(table)
{
    setObjectName(name);
}

NamedQuery::~NamedQuery() = default;

void NamedQuery::setParam(const QString& name, const QString& value)
{
    m_sql.setParam(name, value);
}

void NamedQuery::setParam(const QString& name, qint64 value)
{
    m_sql.setParam(name, QString::number(value));
}

void NamedQuery::setParam(const QString& name, const QDate& day)
{
    m_sql.setParam(name, Formats::isoDate(day));
}

NamedQuery::Param::Param(const QString& name, const QDate& day)
    : name(name), value(Formats::isoDate(day))
{
}

void NamedQuery::reopen(std::initializer_list<Param> params)
{
    close();
    for (const Param& p : params)
        m_sql.setParam(p.name, p.value);
    open();
}

QString NamedQuery::param(const QString& name) const
{
    return m_sql.param(name);
}

QList<NamedQuery::Param> NamedQuery::saveParams() const
{
    QList<Param> saved;
    for (const QString& name : m_sql.paramNames())
        saved.append(Param(name, m_sql.param(name)));
    return saved;
}

void NamedQuery::restoreParams(const QList<Param>& saved)
{
    for (const Param& p : saved)
        m_sql.setParam(p.name, p.value);
}

void NamedQuery::rereadAfterRollback()
{
    if (!isOpen())
        return;
    try {
        reopen();
    } catch (const DbError&) {
        // The database is out of reach; the first error is the one to show.
    }
}

void NamedQuery::open()
{
    if (isOpen())
        return;
    Q_EMIT aboutToOpen();
    m_fieldNames.clear();
    m_fieldIndex.clear();
    m_columns.clear();
    m_baseFields = 0;
    m_rows = 0;
    RowReader::Result read;
    Connection::run(Connection::Step::Read, [&](QSqlDatabase& db) { read = RowReader::readAll(db, m_sql); });
    for (QString& name : read.names) {
        m_fieldIndex.insert(name.toLower(), int(m_fieldNames.size()));
        m_fieldNames.push_back(std::move(name));
    }
    m_columns = std::move(read.columns);
    m_rows = read.rows;
    putInKeyOrder();

    m_baseFields = int(m_fieldNames.size());
    for (const auto& [name, def] : m_computedDefs) {
        m_fieldIndex.insert(name.toLower(), int(m_fieldNames.size()));
        m_fieldNames.push_back(name);
    }
    m_display.clear();
    for (auto it = m_displayByName.cbegin(); it != m_displayByName.cend(); ++it) {
        const int f = fieldIndex(it.key());
        if (f >= 0)
            m_display[f] = it.value();
    }
    m_changes.clear();
    m_state = State::Browse;
    m_current = m_rows > 0 ? 0 : -1;
    m_eof = m_rows == 0;
    Q_EMIT opened();
    Q_EMIT currentChanged(m_current);
}

// A query whose text gives no order lists its rows by the table's key, ID, and
// a grouping by its groups, on both engines: SQLite reads such a query in that
// order, PostgreSQL in the rows' physical order, which changes whenever a row is
// updated (the menu would reshuffle under the waiter's finger after every sale).
// The texts stay as they are; the snapshot is sorted here, and only when it is
// not in that order already.
void NamedQuery::putInKeyOrder()
{
    static const QRegularExpression orderBy(QStringLiteral("\\border\\s+by\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression groupBy(QStringLiteral("\\bgroup\\s+by\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (m_rows < 2 || m_sql.original().contains(orderBy))
        return;
    std::vector<int> keys;
    if (m_sql.original().contains(groupBy)) {
        for (int f = 0; f < int(m_columns.size()); ++f)
            keys.push_back(f);
    } else if (const int id = fieldIndex(QStringLiteral("ID")); id >= 0 && id < int(m_columns.size())) {
        keys.push_back(id);
    } else {
        return;
    }
    const auto before = [&](std::size_t a, std::size_t b) {
        for (const int f : keys) {
            const int c = m_columns[std::size_t(f)].compare(a, b);
            if (c != 0)
                return c < 0;
        }
        return false;
    };
    std::vector<std::size_t> order(static_cast<std::size_t>(m_rows));
    for (std::size_t r = 0; r < order.size(); ++r)
        order[r] = r;
    if (std::is_sorted(order.begin(), order.end(), before))
        return;
    std::stable_sort(order.begin(), order.end(), before);
    for (SnapshotColumn& column : m_columns)
        column.reorder(order);
}

void NamedQuery::close()
{
    if (!isOpen())
        return;
    m_state = State::Inactive;
    m_columns.clear();
    m_rows = 0;
    m_current = -1;
    m_eof = true;
    m_changes.clear();
    Q_EMIT closed();
}

void NamedQuery::refresh()
{
    if (!isOpen()) {
        open();
        return;
    }
    if (m_state != State::Browse)
        post();
    const int idField = fieldIndex(QStringLiteral("ID"));
    const QVariant id = (m_current >= 0 && idField >= 0) ? valueAt(m_current, idField) : QVariant();
    const int oldRow = m_current;
    close();
    open();
    if (m_rows == 0)
        return;
    int row = -1;
    if (!id.isNull() && idField >= 0) {
        for (int r = 0; r < m_rows && row < 0; ++r)
            if (valueAt(r, idField) == id)
                row = r;
    }
    if (row < 0)
        row = std::clamp(oldRow, 0, m_rows - 1);
    setCurrent(row);
}

void NamedQuery::setCurrent(int row)
{
    if (isEditing()) {
        const bool dropsRow = m_state == State::Insert && !isModified();
        if (isModified())
            post();
        else
            cancel();
        // The untouched insert was the last row and is gone: a move onto it
        // lands on the row before.
        if (dropsRow) {
            row = std::min(row, m_rows - 1);
            if (row < 0) {
                m_eof = true;
                return;
            }
        }
    }
    m_eof = false;
    if (row == m_current)
        return;
    m_current = row;
    Q_EMIT currentChanged(m_current);
}

void NamedQuery::first()
{
    if (m_rows > 0)
        setCurrent(0);
    m_eof = m_rows == 0;
}

void NamedQuery::last()
{
    if (m_rows > 0)
        setCurrent(m_rows - 1);
    m_eof = m_rows == 0;
}

void NamedQuery::next()
{
    if (m_rows == 0 || m_current >= m_rows - 1) {
        if (m_state != State::Browse && m_state != State::Inactive)
            setCurrent(m_current);
        m_eof = true;
        return;
    }
    setCurrent(m_current + 1);
}

void NamedQuery::prior()
{
    if (m_current > 0)
        setCurrent(m_current - 1);
}

void NamedQuery::moveTo(int row)
{
    if (row < 0 || row >= m_rows)
        return;
    setCurrent(row);
}

int NamedQuery::fieldIndex(const QString& name) const
{
    return m_fieldIndex.value(name.toLower(), -1);
}

void NamedQuery::addComputedField(const QString& name, Compute compute, Display display)
{
    m_computedDefs.emplace_back(name, ComputedField{std::move(compute)});
    m_displayByName.insert(name.toLower(), display);
    if (isOpen()) {
        m_fieldIndex.insert(name.toLower(), int(m_fieldNames.size()));
        m_fieldNames.push_back(name);
        m_display[int(m_fieldNames.size()) - 1] = display;
    }
}

void NamedQuery::setDisplay(const QString& field, Display display)
{
    m_displayByName.insert(field.toLower(), display);
    const int f = fieldIndex(field);
    if (f >= 0)
        m_display[f] = display;
}

NamedQuery::Display NamedQuery::display(int field) const
{
    const auto it = m_display.find(field);
    return it == m_display.end() ? Display::Plain : it->second;
}

int NamedQuery::requireField(const QString& field) const
{
    if (!isOpen())
        throw DbError(QStringLiteral("%1: მონაცემთა ნაკრები დახურულია").arg(m_name));
    const int f = fieldIndex(field);
    if (f < 0)
        throw DbError(QStringLiteral("%1: ველი „%2“ ვერ მოიძებნა").arg(m_name, field));
    return f;
}

void NamedQuery::requireRow() const
{
    if (!isOpen())
        throw DbError(QStringLiteral("%1: მონაცემთა ნაკრები დახურულია").arg(m_name));
    if (m_current < 0 || m_current >= m_rows)
        throw DbError(QStringLiteral("%1: მიმდინარე ჩანაწერი არ არის").arg(m_name));
}

int NamedQuery::requireIdField() const
{
    const int idField = fieldIndex(QStringLiteral("ID"));
    if (idField < 0 || idField >= m_baseFields)
        throw DbError(QStringLiteral("%1: ჩანაწერის გასაღები (ID) არ არის").arg(m_name));
    return idField;
}

void NamedQuery::requireWritable(const char* what) const
{
    if (m_table.isEmpty())
        throw DbError(QStringLiteral("%1: ეს მონაცემები მხოლოდ საკითხავია (%2)")
                          .arg(m_name, QLatin1String(what)));
}

QVariant NamedQuery::valueAt(int row, int field) const
{
    if (row < 0 || row >= m_rows || field < 0 || field >= fieldCount())
        return QVariant();
    if (row == m_current && m_state != State::Browse) {
        const auto it = m_changes.find(field);
        if (it != m_changes.end())
            return it->second;
    }
    if (field < m_baseFields)
        return m_columns[std::size_t(field)].value(std::size_t(row));
    return m_computedDefs[std::size_t(field - m_baseFields)].second.compute(*this, row);
}

QVariant NamedQuery::value(const QString& field) const
{
    // A query without rows reads empty values ("busytables" of a table without
    // a row: Busy reads 0); only a closed query or an unknown field is an error.
    const int f = requireField(field);
    return valueAt(m_current, f);
}

bool NamedQuery::isNull(const QString& field) const
{
    return value(field).isNull();
}

QString NamedQuery::asString(const QString& field) const
{
    return Values::toText(value(field));
}

qint64 NamedQuery::asInteger(const QString& field) const
{
    return Values::toInteger(value(field));
}

double NamedQuery::asFloat(const QString& field) const
{
    return Values::toFloat(value(field));
}

Money NamedQuery::asMoney(const QString& field) const
{
    return Values::toMoney(value(field));
}

QDateTime NamedQuery::asDateTime(const QString& field) const
{
    return Values::toDateTime(value(field));
}

QString NamedQuery::displayText(int row, int field) const
{
    const QVariant v = valueAt(row, field);
    if (v.isNull())
        return QString();
    const bool isMoney = v.metaType() == QMetaType::fromType<Money>();
    switch (display(field)) {
    case Display::Money:
        return isMoney ? Formats::money(v.value<Money>()) : Formats::money(v.toDouble());
    case Display::UpToTwoDecimals:
        return Formats::upToTwoDecimals(isMoney ? v.value<Money>().toDouble() : v.toDouble());
    case Display::FixedTwo:
        return isMoney ? Formats::fixedTwo(v.value<Money>()) : Formats::fixedTwo(v.toDouble());
    case Display::Date: return Formats::date(v.toDateTime());
    case Display::DateTime: return Formats::dateTime(v.toDateTime());
    case Display::Plain: break;
    }
    return Values::toText(v);
}

void NamedQuery::edit()
{
    requireWritable("edit");
    requireRow();
    if (m_state == State::Browse)
        m_state = State::Edit;
}

void NamedQuery::insert()
{
    requireWritable("insert");
    if (!isOpen())
        throw DbError(QStringLiteral("%1: მონაცემთა ნაკრები დახურულია").arg(m_name));
    if (m_state != State::Browse)
        setCurrent(m_current);  // posts or drops what is pending
    for (SnapshotColumn& c : m_columns)
        c.append(QVariant());
    ++m_rows;
    m_current = m_rows - 1;
    m_eof = false;
    m_state = State::Insert;
    m_changes.clear();
    Q_EMIT rowInserted(m_current);
    Q_EMIT currentChanged(m_current);
}

void NamedQuery::setField(const QString& field, const QVariant& value)
{
    const int f = requireField(field);
    if (!isEditing())
        throw DbError(QStringLiteral("%1: ჩანაწერი არ არის რედაქტირების რეჟიმში").arg(m_name));
    if (f >= m_baseFields || tableColumn(f).isEmpty())
        throw DbError(QStringLiteral("%1: ველი „%2“ ვერ ჩაიწერება").arg(m_name, field));
    m_changes[f] = value;
    Q_EMIT rowChanged(m_current);
}

QString NamedQuery::tableColumn(int field) const
{
    if (field < 0 || field >= m_baseFields)
        return QString();
    return m_writer.column(m_fieldNames[std::size_t(field)]);
}

void NamedQuery::post()
{
    if (m_state == State::Insert)
        postInsert();
    else if (m_state == State::Edit)
        postEdit();
}

void NamedQuery::postEdit()
{
    if (m_changes.empty()) {
        m_state = State::Browse;
        return;
    }
    const int idField = requireIdField();
    std::vector<RowWriter::Change> changes;
    for (const auto& [f, v] : m_changes)
        changes.push_back({m_fieldNames[std::size_t(f)], m_columns[std::size_t(f)].value(std::size_t(m_current)), v});
    m_writer.update(m_columns[std::size_t(idField)].value(std::size_t(m_current)), changes);
    keepPosted(std::nullopt);
}

void NamedQuery::postInsert()
{
    std::vector<std::pair<QString, QVariant>> values;
    for (const auto& [f, v] : m_changes)
        values.emplace_back(m_fieldNames[std::size_t(f)], v);
    keepPosted(m_writer.insert(values));
}

void NamedQuery::keepPosted(const std::optional<QVariant>& newId)
{
    for (const auto& [f, v] : m_changes)
        m_columns[std::size_t(f)].set(std::size_t(m_current), v);
    const int idField = fieldIndex(QStringLiteral("ID"));
    if (newId && idField >= 0 && idField < m_baseFields)
        m_columns[std::size_t(idField)].set(std::size_t(m_current), *newId);
    m_changes.clear();
    m_state = State::Browse;
    Q_EMIT rowChanged(m_current);
    Q_EMIT posted();
}

void NamedQuery::cancel()
{
    if (m_state == State::Insert) {
        const int row = m_current;
        Q_EMIT rowAboutToBeRemoved(row);
        for (SnapshotColumn& c : m_columns)
            c.remove(std::size_t(row));
        --m_rows;
        m_changes.clear();
        m_state = State::Browse;
        m_current = m_rows > 0 ? std::min(row, m_rows - 1) : -1;
        Q_EMIT rowRemoved(row);
        Q_EMIT currentChanged(m_current);
        return;
    }
    if (m_state == State::Edit) {
        m_changes.clear();
        m_state = State::Browse;
        Q_EMIT rowChanged(m_current);
    }
}

void NamedQuery::remove()
{
    requireWritable("delete");
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    requireRow();
    m_changes.clear();
    m_state = State::Browse;
    const int idField = requireIdField();
    m_writer.remove(m_columns[std::size_t(idField)].value(std::size_t(m_current)));
    const int row = m_current;
    Q_EMIT rowAboutToBeRemoved(row);
    for (SnapshotColumn& c : m_columns)
        c.remove(std::size_t(row));
    --m_rows;
    m_current = m_rows > 0 ? std::min(row, m_rows - 1) : -1;
    m_eof = m_rows == 0;
    Q_EMIT rowRemoved(row);
    Q_EMIT currentChanged(m_current);
}
