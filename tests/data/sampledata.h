#pragma once

#include "data/connection.h"
#include "tests/support/testdb.h"

#include <QSqlDatabase>
#include <QStringList>
#include <memory>

// A small restaurant written with plain SQL on a station's connection, the same
// text on both engines, so the queries under test read rows they did not write.
//
// kerdzebi: 1 ხაჭაპური (ცხელი), 2 ლობიო (ცხელი), 3 ლიმონათი (სასმელი),
//           4 without a type, 5 without a name, 6 with an empty-text type.
// uplebebi: ცხელი has one cook (გელა), სასმელი two (ნინო, დათო).
// busytable: tables 1 to 6; table 5 is busy with order 7.
// Shekvetebi: order 7 at table 5, open (2 lines, 8 June 2024);
//             order 6 at table 15, cleared with 10 % service (1 line, 1 June);
//             order 57 at table 2, taken by a cook (1 line, 31 May).
// migeba: two deliveries, 8 and 9 June. nisiebi: a supplier and a client row.
// DELS: one deletion at 13:15 on 8 June.
namespace SampleData {

inline const QStringList& statements()
{
    static const QStringList sql = {
        QStringLiteral("update Parametres set Tables = 6, momsaxureoba = 10, dawesebuleba = 'კელვორა'"),
        QStringLiteral("insert into kerdzebi (Dasaxeleba, asagebi, gasayidi, tipi, Field1, raodenoba, momwodebeli, prioriteti) "
                       "values ('ხაჭაპური', 2, 5, 'ცხელი', null, 10, 'მომწოდებლის გარეშე', 1)"),
        QStringLiteral("insert into kerdzebi (Dasaxeleba, asagebi, gasayidi, tipi, raodenoba, momwodebeli, prioriteti) "
                       "values ('ლობიო', 1.5, 4, 'ცხელი', 20, 'შპს ბაზარი', 2)"),
        QStringLiteral("insert into kerdzebi (Dasaxeleba, asagebi, gasayidi, tipi, raodenoba, momwodebeli, prioriteti) "
                       "values ('ლიმონათი', 0.8, 2.5, 'სასმელი', 50, 'შპს ბაზარი', 3)"),
        QStringLiteral("insert into kerdzebi (Dasaxeleba, asagebi, gasayidi, tipi, raodenoba, momwodebeli) "
                       "values ('უტიპო', 1, 2, null, 5, 'შპს ბაზარი')"),
        QStringLiteral("insert into kerdzebi (Dasaxeleba, asagebi, gasayidi, tipi, raodenoba, momwodebeli) "
                       "values (null, 1, 2, 'ცხელი', 5, 'შპს ბაზარი')"),
        QStringLiteral("insert into kerdzebi (Dasaxeleba, asagebi, gasayidi, tipi, raodenoba, momwodebeli) "
                       "values ('ცარიელი ტიპი', 1, 2, '', 5, 'შპს ბაზარი')"),
        QStringLiteral("insert into uplebebi (ganyofileba, povari) values ('ცხელი', 'გელა')"),
        QStringLiteral("insert into uplebebi (ganyofileba, povari) values ('სასმელი', 'ნინო')"),
        QStringLiteral("insert into uplebebi (ganyofileba, povari) values ('სასმელი', 'დათო')"),
        QStringLiteral("insert into OFICIANTI (Oficianti, mdgomareoba) values ('ანა', 'აქტიური')"),
        QStringLiteral("insert into OFICIANTI (Oficianti, mdgomareoba) values ('ბექა', 'პასიური')"),
        QStringLiteral("insert into busytable (Busy, OFICIANT, TableNum, USERNUM, GadaxdiliTanxa) values (0, null, 1, 0, null)"),
        QStringLiteral("insert into busytable (Busy, OFICIANT, TableNum, USERNUM, GadaxdiliTanxa) values (0, null, 2, 0, null)"),
        QStringLiteral("insert into busytable (Busy, OFICIANT, TableNum, USERNUM, GadaxdiliTanxa) values (0, null, 3, -1, '0.0000')"),
        QStringLiteral("insert into busytable (Busy, OFICIANT, TableNum, USERNUM, GadaxdiliTanxa) values (0, null, 4, 0, null)"),
        QStringLiteral("insert into busytable (Busy, OFICIANT, TableNum, USERNUM, GadaxdiliTanxa) values (1, 'ანა', 5, 7, '12.5000')"),
        QStringLiteral("insert into busytable (Busy, OFICIANT, TableNum, USERNUM, GadaxdiliTanxa) values (0, null, 6, 0, null)"),
        // Order 7, table 5, open: no service yet.
        QStringLiteral("insert into Shekvetebi (Kerdzi_N, Kerdzi_DAS, AFASI, GFASI, Raodenoba, OFFICIANT, Tarigi, STATUSI, Starttime, endtime, povari, TableNum, momsaxureoba, USERNUM) "
                       "values (1, 'ხაჭაპური', 2, 5, 2, 'ანა', '2024-06-08', 1, '2024-06-08 12:00:00', null, 1, 5, null, 7)"),
        QStringLiteral("insert into Shekvetebi (Kerdzi_N, Kerdzi_DAS, AFASI, GFASI, Raodenoba, OFFICIANT, Tarigi, STATUSI, Starttime, endtime, povari, TableNum, momsaxureoba, USERNUM) "
                       "values (3, 'ლიმონათი', 0.8, 2.5, 3, 'ანა', '2024-06-08', 0, '2024-06-08 12:01:00', null, 0, 5, null, 7)"),
        // Order 6, table 15, cleared with 10 % service.
        QStringLiteral("insert into Shekvetebi (Kerdzi_N, Kerdzi_DAS, AFASI, GFASI, Raodenoba, OFFICIANT, Tarigi, STATUSI, Starttime, endtime, povari, TableNum, momsaxureoba, USERNUM) "
                       "values (2, 'ლობიო', 1.5, 4, 1, 'ბექა', '2024-06-01', 100, '2024-06-01 19:00:00', '2024-06-01 19:20:00', 1, 15, 10, 6)"),
        // Order 57, table 2, taken by the cook, before the June period.
        QStringLiteral("insert into Shekvetebi (Kerdzi_N, Kerdzi_DAS, AFASI, GFASI, Raodenoba, OFFICIANT, Tarigi, STATUSI, Starttime, endtime, povari, TableNum, momsaxureoba, USERNUM) "
                       "values (1, 'ხაჭაპური', 2, 5, 1, 'ანა', '2024-05-31', 2, '2024-05-31 20:00:00', null, 1, 2, null, 57)"),
        QStringLiteral("insert into migeba (ID_DAS, Dasaxeleba, asagebi, gasayidi, raodenoba, tipi, momwSN, momwFN, sab_n, tarigi) "
                       "values (2, 'ლობიო', 1.5, 4, 20, 'ცხელი', '205', 'შპს ბაზარი', 'A-1', '2024-06-08')"),
        QStringLiteral("insert into migeba (ID_DAS, Dasaxeleba, asagebi, gasayidi, raodenoba, tipi, momwSN, momwFN, sab_n, tarigi) "
                       "values (3, 'ლიმონათი', 0.8, 2.5, 50, 'სასმელი', '205', 'შპს ბაზარი', 'A-2', '2024-06-09')"),
        QStringLiteral("insert into nisiebi (SN, FN, whois, nisia, shettanxa, tarigi, USERNUM) "
                       "values (null, 'შპს ბაზარი', 'მომწოდებელი', 40, 10, '2024-06-08', 'A-1')"),
        QStringLiteral("insert into nisiebi (SN, FN, whois, nisia, shettanxa, tarigi, USERNUM) "
                       "values (null, 'გიორგი', 'კლიენტი', 15.5, 0, '2024-06-09', '6')"),
        QStringLiteral("insert into DELS (KERid, RAODENOBA, MAGIDA, SHEKVETISN, TARIGI, RAQNA, das) "
                       "values (1, 1, 5, 7, '2024-06-08 13:15:00', 'წაშლა', 'ხაჭაპური')"),
    };
    return sql;
}

inline void write(const TestDb& db)
{
    QSqlDatabase station = db.openStation(QStringLiteral("station_seed"));
    for (const QString& sql : statements())
        TestDb::exec(station, sql);
    station.close();
}

// A second station's connection to `db`, opened once and kept under `name`.
inline QSqlDatabase station(const TestDb& db, const QString& name)
{
    const QString database = db.link().provider == DataLink::Provider::SQLite ? db.link().dataSource
                                                                              : db.link().database;
    if (QSqlDatabase::contains(name)) {
        QSqlDatabase s = QSqlDatabase::database(name, false);
        if (s.isOpen() && s.databaseName() == database)
            return s;
    }
    return db.openStation(name);
}

// One sample database per engine, kept for the whole test program by the tests
// that only read it (or clean up what they add); use() points kavshiri at the
// running engine's.
class Shared
{
public:
    TestDb& use()
    {
        const int e = int(TestDb::currentEngine());
        if (!m_db[e]) {
            m_db[e] = std::make_unique<TestDb>(TestDb::currentEngine());
            write(*m_db[e]);
        }
        Connection::setDataLinkPath(m_db[e]->udlPath());
        return *m_db[e];
    }
    void reset()
    {
        m_db[0].reset();
        m_db[1].reset();
    }

private:
    std::unique_ptr<TestDb> m_db[2];
};

}  // namespace SampleData
