#pragma once

#include "data/datasource.h"
#include "data/namedquery.h"
#include "data/namedstatement.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

// The data module: the one place where the program meets the database. It owns
// every named query and statement of the catalogue (all closed at first), their
// computed and lookup fields, the three hooks and the data sources the screens
// bind their grids and labels to. Screens use the queries directly by name.
class TDM : public QObject
{
    Q_OBJECT

public:
    explicit TDM(QObject* parent = nullptr);
    ~TDM() override;

    NamedQuery* query(const QString& name) const;          // nullptr when unknown
    NamedStatement* statement(const QString& name) const;  // nullptr when unknown
    const std::vector<NamedQuery*>& queries() const { return m_queries; }
    const std::vector<NamedStatement*>& statements() const { return m_statements; }
    void closeAll();

    // The pick list of the catalogue grid's type column, refilled after every
    // post on kerdzebi; empty until the first post of a run.
    const QStringList& typePickList() const { return m_typePickList; }

    // Occupancy and settings
    NamedQuery* busytables;
    NamedQuery* Tables;
    NamedQuery* setting;
    // Catalogue and waiters
    NamedQuery* kerdzebi;
    NamedQuery* kerdzebi2;
    NamedQuery* kerdzebi_kerid;
    NamedQuery* kerdzebibyid;
    NamedQuery* GROUP_TYPE;
    NamedQuery* momwodebeli;
    NamedQuery* oficianti;
    // Orders and sales
    NamedQuery* shekvet;
    NamedQuery* sum_shekvetebi;
    NamedStatement* shekvetebis_gasuftaveba;
    NamedQuery* History_shekvetebi;
    NamedQuery* sul_his_shek;
    NamedQuery* magidebis_raod;
    // Kitchen and floor service
    NamedQuery* Povari_left;
    NamedQuery* povari_right;
    NamedQuery* Opicianti;
    NamedQuery* povrebis_uplebebi;
    NamedQuery* Povrebi;
    NamedQuery* Povari_group;
    // Goods received
    NamedQuery* migeba_old;
    NamedQuery* sul_migeba;
    NamedQuery* migeba_new;
    NamedQuery* migeba_new_sum;
    // Credit ledger
    NamedQuery* Nisia;
    NamedQuery* nisia_grid;
    NamedQuery* sum_nisia;
    NamedQuery* nisiebis_datvla;
    // Deletion log
    NamedQuery* dELS;
    // Maintenance
    NamedStatement* COMkerdzebi;
    NamedStatement* COMmigeba;
    NamedStatement* COMrealizacia;

    // Data sources
    DataSource* kerdzebi_s;
    DataSource* oficianti_s;
    DataSource* shekvetebi_s;
    DataSource* sum_shekvetebi_S;
    DataSource* busytables_s;
    DataSource* History_shekvetebi_S;
    DataSource* sul_his_shek_S;
    DataSource* migeba_s;
    DataSource* sul_migeba_s;
    DataSource* kerdzebi2_S;
    DataSource* migeba_new_S;
    DataSource* migeba_new_sum_s;
    DataSource* nisia_grid_S;
    DataSource* sum_nisia_S;
    DataSource* dels_s;
    DataSource* Povari_left_S;
    DataSource* povari_right_s;
    DataSource* Opicianti_S;

    // Hooks
    void kerdzebiAfterPost();
    void History_shekvetebiBeforeOpen();
    void shekvetebi_sDataChange();

    // Adds `amount` to the item's stock as stored now (negative for a sale), by
    // relative update, so that two stations changing one item at once both count;
    // nothing for a removed item. Runs inside the caller's transaction.
    void addToStock(qint64 item, Money amount);

    // The service charge of P percent on the sum S: S / 100 * P, unrounded.
    static double serviceCharge(double sum, double percent);
    // The sum with its service charge: S / 100 * P + S, unrounded.
    static double withServiceCharge(double sum, double percent);
    // The order total with the service charge: S / 100 * P + S, four decimals,
    // halves to even (sum_shekvetebi.sum_PR).
    static Money totalWithService(double sum, double percent);
    // A sales line's amount with its own service rate, as the sales report lists
    // it: the line total taken to four decimals before the service is added, the
    // sum again to four decimals (History_shekvetebi.sulfasi). Nothing when the
    // amount is beyond what an amount holds.
    static std::optional<Money> lineWithService(double quantity, double price, double rate);

Q_SIGNALS:
    void typePickListChanged(const QStringList& types);

private:
    // The catalogue's query or statement of that name; a name the catalogue
    // lacks throws DbError, so no member is left null.
    NamedQuery* requireQuery(const char* name) const;
    NamedStatement* requireStatement(const char* name) const;
    void addComputedFields();
    double servicePercent() const;

    std::vector<NamedQuery*> m_queries;
    std::vector<NamedStatement*> m_statements;
    QHash<QString, NamedQuery*> m_queryByName;
    QHash<QString, NamedStatement*> m_statementByName;
    QStringList m_typePickList;
    QHash<qint64, double> m_stockById;  // kerdzebibyid: ID -> raodenoba, for nashti
};
