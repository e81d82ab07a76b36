#include "data/datamodule.h"
#include "data/catalogue.h"
#include "data/clock.h"
#include "data/dberror.h"

namespace {

double fieldAt(const NamedQuery& q, int row, const char* name)
{
    const QVariant v = q.valueAt(row, q.fieldIndex(QLatin1String(name)));
    if (v.isNull())
        return 0;
    if (v.metaType() == QMetaType::fromType<Money>())
        return v.value<Money>().toDouble();
    return v.toDouble();
}

// A computed amount; one beyond what an amount holds stays a plain number, which
// the grids still show and reading it as an amount refuses with a clear text.
QVariant amountOf(double value)
{
    if (const auto m = Money::tryFromDoubleHalfEven(value))
        return QVariant::fromValue(*m);
    return QVariant(value);
}

NamedQuery::Compute product(const char* a, const char* b)
{
    return [a, b](const NamedQuery& q, int row) {
        return amountOf(fieldAt(q, row, a) * fieldAt(q, row, b));
    };
}

}  // namespace

TDM::TDM(QObject* parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("DM"));
    for (const CatalogueEntry& e : catalogue()) {
        const QString name = QString::fromLatin1(e.name);
        if (e.kind == CatalogueEntry::Statement) {
            auto* s = new NamedStatement(name, QString::fromUtf8(e.sql), this);
            m_statements.push_back(s);
            m_statementByName.insert(name.toLower(), s);
        } else {
            auto* q = new NamedQuery(name, QString::fromUtf8(e.sql), QString::fromLatin1(e.table), this);
            m_queries.push_back(q);
            m_queryByName.insert(name.toLower(), q);
        }
    }
    busytables = requireQuery("busytables");
    Tables = requireQuery("Tables");
    setting = requireQuery("setting");
    kerdzebi = requireQuery("kerdzebi");
    kerdzebi2 = requireQuery("kerdzebi2");
    kerdzebi_kerid = requireQuery("kerdzebi_kerid");
    kerdzebibyid = requireQuery("kerdzebibyid");
    GROUP_TYPE = requireQuery("GROUP_TYPE");
    momwodebeli = requireQuery("momwodebeli");
    oficianti = requireQuery("oficianti");
    shekvet = requireQuery("shekvet");
    sum_shekvetebi = requireQuery("sum_shekvetebi");
    shekvetebis_gasuftaveba = requireStatement("shekvetebis_gasuftaveba");
    History_shekvetebi = requireQuery("History_shekvetebi");
    sul_his_shek = requireQuery("sul_his_shek");
    magidebis_raod = requireQuery("magidebis_raod");
    Povari_left = requireQuery("Povari_left");
    povari_right = requireQuery("povari_right");
    Opicianti = requireQuery("Opicianti");
    povrebis_uplebebi = requireQuery("povrebis_uplebebi");
    Povrebi = requireQuery("Povrebi");
    Povari_group = requireQuery("Povari_group");
    migeba_old = requireQuery("migeba_old");
    sul_migeba = requireQuery("sul_migeba");
    migeba_new = requireQuery("migeba_new");
    migeba_new_sum = requireQuery("migeba_new_sum");
    Nisia = requireQuery("Nisia");
    nisia_grid = requireQuery("nisia_grid");
    sum_nisia = requireQuery("sum_nisia");
    nisiebis_datvla = requireQuery("nisiebis_datvla");
    dELS = requireQuery("dELS");
    COMkerdzebi = requireStatement("COMkerdzebi");
    COMmigeba = requireStatement("COMmigeba");
    COMrealizacia = requireStatement("COMrealizacia");

    auto source = [this](const char* name, NamedQuery* q) {
        return new DataSource(QString::fromLatin1(name), q, this);
    };
    kerdzebi_s = source("kerdzebi_s", kerdzebi);
    oficianti_s = source("oficianti_s", oficianti);
    shekvetebi_s = source("shekvetebi_s", shekvet);
    sum_shekvetebi_S = source("sum_shekvetebi_S", sum_shekvetebi);
    busytables_s = source("busytables_s", busytables);
    History_shekvetebi_S = source("History_shekvetebi_S", History_shekvetebi);
    sul_his_shek_S = source("sul_his_shek_S", sul_his_shek);
    migeba_s = source("migeba_s", migeba_old);
    sul_migeba_s = source("sul_migeba_s", sul_migeba);
    kerdzebi2_S = source("kerdzebi2_S", kerdzebi2);
    migeba_new_S = source("migeba_new_S", migeba_new);
    migeba_new_sum_s = source("migeba_new_sum_s", migeba_new_sum);
    nisia_grid_S = source("nisia_grid_S", nisia_grid);
    sum_nisia_S = source("sum_nisia_S", sum_nisia);
    dels_s = source("dels_s", dELS);
    Povari_left_S = source("Povari_left_S", Povari_left);
    povari_right_s = source("povari_right_s", povari_right);
    Opicianti_S = source("Opicianti_S", Opicianti);

    addComputedFields();

    connect(kerdzebi, &NamedQuery::posted, this, &TDM::kerdzebiAfterPost);
    connect(History_shekvetebi, &NamedQuery::aboutToOpen, this, &TDM::History_shekvetebiBeforeOpen);
    connect(shekvetebi_s, &DataSource::dataChange, this, &TDM::shekvetebi_sDataChange);
    connect(kerdzebibyid, &NamedQuery::opened, this, [this] {
        m_stockById.clear();
        const int id = kerdzebibyid->fieldIndex(QStringLiteral("ID"));
        const int stock = kerdzebibyid->fieldIndex(QStringLiteral("raodenoba"));
        for (int r = 0; r < kerdzebibyid->rowCount(); ++r)
            m_stockById.insert(kerdzebibyid->valueAt(r, id).toLongLong(),
                               kerdzebibyid->valueAt(r, stock).toDouble());
    });
    connect(kerdzebibyid, &NamedQuery::closed, this, [this] { m_stockById.clear(); });
}

TDM::~TDM() = default;

NamedQuery* TDM::requireQuery(const char* name) const
{
    NamedQuery* q = m_queryByName.value(QString::fromLatin1(name).toLower());
    if (!q)
        throw DbError(QStringLiteral("მოთხოვნა „%1“ კატალოგში ვერ მოიძებნა").arg(QString::fromLatin1(name)));
    return q;
}

NamedStatement* TDM::requireStatement(const char* name) const
{
    NamedStatement* st = m_statementByName.value(QString::fromLatin1(name).toLower());
    if (!st)
        throw DbError(QStringLiteral("ბრძანება „%1“ კატალოგში ვერ მოიძებნა").arg(QString::fromLatin1(name)));
    return st;
}

NamedQuery* TDM::query(const QString& name) const
{
    return m_queryByName.value(name.toLower());
}

NamedStatement* TDM::statement(const QString& name) const
{
    return m_statementByName.value(name.toLower());
}

void TDM::closeAll()
{
    for (NamedQuery* q : m_queries)
        q->close();
}

double TDM::servicePercent() const
{
    if (!setting->isOpen() || setting->isEmpty())
        return 0;
    return setting->asFloat(QStringLiteral("momsaxureoba"));
}

void TDM::addToStock(qint64 item, Money amount)
{
    NamedStatement* stock = statement(QStringLiteral("kerdzebi_nashtis_cvlileba"));
    stock->setParam(QStringLiteral("Q"), amount.toSqlText());
    stock->setParam(QStringLiteral("ID"), QString::number(item));
    stock->execute();
}

double TDM::serviceCharge(double sum, double percent)
{
    return sum / 100.0 * percent;
}

double TDM::withServiceCharge(double sum, double percent)
{
    return serviceCharge(sum, percent) + sum;
}

Money TDM::totalWithService(double sum, double percent)
{
    return Money::fromDoubleHalfEven(withServiceCharge(sum, percent));
}

std::optional<Money> TDM::lineWithService(double quantity, double price, double rate)
{
    const double product = quantity * price;
    const auto rounded = Money::tryFromDoubleHalfEven(product);
    const double c = rounded ? rounded->toDouble() : product;
    return Money::tryFromDoubleHalfEven(withServiceCharge(c, rate));
}

void TDM::addComputedFields()
{
    using D = NamedQuery::Display;
    shekvet->addComputedField(QStringLiteral("sulfasi"), product("Raodenoba", "GFASI"), D::Money);

    sum_shekvetebi->addComputedField(
        QStringLiteral("sum_PR"),
        [this](const NamedQuery& q, int row) {
            return amountOf(withServiceCharge(fieldAt(q, row, "sulfasi"), servicePercent()));
        },
        D::Money);

    History_shekvetebi->addComputedField(
        QStringLiteral("sulfasi"),
        [](const NamedQuery& q, int row) {
            // The line total is rounded to four decimals before its own service is
            // added; the sum is rounded once more only to fit four decimals.
            const double quantity = fieldAt(q, row, "Raodenoba");
            const double price = fieldAt(q, row, "GFASI");
            const double rate = fieldAt(q, row, "momsaxureoba");
            if (const auto amount = lineWithService(quantity, price, rate))
                return QVariant::fromValue(*amount);
            const auto rounded = Money::tryFromDoubleHalfEven(quantity * price);
            return QVariant(withServiceCharge(rounded ? rounded->toDouble() : quantity * price, rate));
        },
        D::Money);
    History_shekvetebi->addComputedField(
        QStringLiteral("assulfasi"),
        [](const NamedQuery& q, int row) {
            return QVariant(fieldAt(q, row, "AFASI") * fieldAt(q, row, "Raodenoba"));
        },
        D::FixedTwo);
    History_shekvetebi->addComputedField(
        QStringLiteral("nashti"),
        [this](const NamedQuery& q, int row) {
            const QVariant id = q.valueAt(row, q.fieldIndex(QStringLiteral("Kerdzi_N")));
            const auto it = m_stockById.constFind(id.toLongLong());
            return it == m_stockById.constEnd() ? QVariant() : QVariant(*it);
        });
    History_shekvetebi->setDisplay(QStringLiteral("Tarigi"), D::Date);

    kerdzebi2->addComputedField(QStringLiteral("sulgas"), product("raodenoba", "gasayidi"), D::Money);
    kerdzebi2->addComputedField(QStringLiteral("sulshes"), product("raodenoba", "asagebi"), D::Money);
    migeba_old->addComputedField(QStringLiteral("SASAG"), product("raodenoba", "asagebi"), D::Money);
    migeba_old->addComputedField(QStringLiteral("SGASA"), product("raodenoba", "gasayidi"), D::Money);
    migeba_old->setDisplay(QStringLiteral("tarigi"), D::Date);
    migeba_new->addComputedField(QStringLiteral("SASA"), product("raodenoba", "asagebi"), D::Money);
    migeba_new->addComputedField(QStringLiteral("SGASA"), product("raodenoba", "gasayidi"), D::Money);
    nisia_grid->setDisplay(QStringLiteral("tarigi"), D::Date);
    // Prices, debts and sums a person reads: two decimals wherever they show.
    struct Amounts
    {
        NamedQuery* query;
        QStringList fields;
    };
    const Amounts amounts[] = {
        {kerdzebi, {QStringLiteral("gasayidi"), QStringLiteral("asagebi")}},
        {kerdzebi2, {QStringLiteral("gasayidi"), QStringLiteral("asagebi")}},
        {migeba_old, {QStringLiteral("gasayidi"), QStringLiteral("asagebi")}},
        {migeba_new, {QStringLiteral("gasayidi"), QStringLiteral("asagebi")}},
        {sul_migeba, {QStringLiteral("ASAG"), QStringLiteral("GASA")}},
        {migeba_new_sum, {QStringLiteral("sulasagebi"), QStringLiteral("sulgasayidi")}},
        {nisia_grid, {QStringLiteral("nisia"), QStringLiteral("shettanxa")}},
        {sum_nisia, {QStringLiteral("Expr1000"), QStringLiteral("Expr1001"), QStringLiteral("Expr1002")}},
    };
    for (const Amounts& a : amounts)
        for (const QString& field : a.fields)
            a.query->setDisplay(field, D::FixedTwo);
    dELS->setDisplay(QStringLiteral("TARIGI"), D::DateTime);

    Opicianti->addComputedField(QStringLiteral("gasulidro"), [](const NamedQuery& q, int row) {
        const QVariant start = q.valueAt(row, q.fieldIndex(QStringLiteral("Starttime")));
        if (start.isNull())
            return QVariant(qlonglong(0));
        const qint64 secs = start.toDateTime().secsTo(Clock::now());
        return QVariant(qlonglong(secs > 0 ? secs / 60 : 0));
    });
}

void TDM::kerdzebiAfterPost()
{
    m_typePickList.clear();
    GROUP_TYPE->close();
    GROUP_TYPE->open();
    const int f = GROUP_TYPE->fieldIndex(QStringLiteral("tipi"));
    for (int r = 0; r < GROUP_TYPE->rowCount(); ++r)
        m_typePickList << GROUP_TYPE->valueAt(r, f).toString();
    Q_EMIT typePickListChanged(m_typePickList);
}

void TDM::History_shekvetebiBeforeOpen()
{
    // nashti shows the stock at the moment the report is run.
    kerdzebibyid->close();
    kerdzebibyid->open();
}

void TDM::shekvetebi_sDataChange()
{
    // A field set on a line being edited or added changes nothing stored yet:
    // the total is read once the line is posted (or the edit dropped).
    if (shekvet->state() == NamedQuery::State::Edit || shekvet->state() == NamedQuery::State::Insert)
        return;
    if (!busytables->isOpen() || busytables->isEmpty())
        return;
    if (busytables->asInteger(QStringLiteral("Busy")) != 1)
        return;
    sum_shekvetebi->close();
    sum_shekvetebi->setParam(QStringLiteral("USR"), busytables->asInteger(QStringLiteral("USERNUM")));
    sum_shekvetebi->open();
}
