#include "demodata.h"
#include "tools/shared/toolerror.h"

#include "data/connection.h"
#include "data/dberror.h"
#include "data/schema.h"
#include "data/datamodule.h"
#include "data/transaction.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

namespace {

const char* const Hot = "ცხელი კერძები";
const char* const Salads = "სალათები";
const char* const Khinkali = "ხინკალი";
const char* const Bakery = "ცომეული";
const char* const Grill = "მწვადი";
const char* const Desserts = "დესერტები";
const char* const Drinks = DemoData::DrinksType;

const char* const OwnKitchen = "მომწოდებლის გარეშე";
const char* const Farm = "შპს „მთის ფერმა“";
const char* const Bakehouse = "შპს „თონე“";
const char* const Beverages = "შპს „წყაროს სასმელები“";
const char* const Winery = "შპს „ალაზნის მარანი“";

QString text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

}  // namespace

const std::vector<DemoData::Item>& DemoData::items()
{
    static const std::vector<Item> all = {
        {"ხარჩო", Hot, 12, 5.2, 40, Farm, 1},
        {"ჩაქაფული", Hot, 18, 8.5, 30, Farm, 2},
        {"ოჯახური", Hot, 16, 6.8, 35, Farm, 3},
        {"შქმერული", Hot, 22, 10.4, 25, Farm, 4},
        {"ჩახოხბილი", Hot, 17, 7.6, 30, Farm, 5},
        {"ჩანახი", Hot, 15, 6.9, 25, Farm, 6},
        {"ოსტრი", Hot, 14, 6.1, 30, Farm, 7},
        {"ლობიო ქოთანში", Hot, 9, 3.2, 50, OwnKitchen, 8},
        {"ქართული სალათი ნიგვზით", Salads, 11, 4.4, 40, OwnKitchen, 1},
        {"ბადრიჯანი ნიგვზით", Salads, 12, 4.9, 35, OwnKitchen, 2},
        {"ფხალეულის ასორტი", Salads, 14, 5.6, 30, OwnKitchen, 3},
        {"ცეზარის სალათი", Salads, 16, 6.7, 25, Farm, 4},
        {"ბერძნული სალათი", Salads, 13, 5.5, 25, Farm, 5},
        {"ჯონჯოლი", Salads, 7, 2.6, 40, Farm, 6},
        {"ხინკალი ქალაქური", Khinkali, 1.2, 0.45, 400, OwnKitchen, 1},
        {"ხინკალი მთიულური", Khinkali, 1.2, 0.45, 400, OwnKitchen, 2},
        {"ხინკალი სოკოთი", Khinkali, 1.1, 0.4, 300, OwnKitchen, 3},
        {"ხინკალი კარტოფილით", Khinkali, 0.9, 0.3, 300, OwnKitchen, 4},
        {"ხინკალი ყველით", Khinkali, 1.3, 0.5, 250, OwnKitchen, 5},
        {"აჭარული ხაჭაპური", Bakery, 18, 7.3, 30, Bakehouse, 1},
        {"იმერული ხაჭაპური", Bakery, 14, 5.8, 40, Bakehouse, 2},
        {"მეგრული ხაჭაპური", Bakery, 17, 7.1, 35, Bakehouse, 3},
        {"ლობიანი", Bakery, 10, 3.9, 40, Bakehouse, 4},
        {"კუბდარი", Bakery, 16, 6.6, 25, Bakehouse, 5},
        {"ღორის მწვადი", Grill, 20, 9.4, 40, Farm, 1},
        {"ხბოს მწვადი", Grill, 24, 11.8, 30, Farm, 2},
        {"ქათმის მწვადი", Grill, 15, 6.3, 40, Farm, 3},
        {"ლულა ქაბაბი", Grill, 13, 5.4, 40, Farm, 4},
        {"ფელამუში", Desserts, 8, 2.9, 20, OwnKitchen, 1},
        {"ჩურჩხელა", Desserts, 5, 2.1, 60, Farm, 2},
        {"ნაპოლეონი", Desserts, 9, 3.4, 20, Bakehouse, 3},
        {"ნაყინის ასორტი", Desserts, 7, 2.8, 30, OwnKitchen, 4},
        {"ტარხუნის ლიმონათი 0.5 ლ", Drinks, 4, 1.6, 120, Beverages, 1},
        {"მსხლის ლიმონათი 0.5 ლ", Drinks, 4, 1.6, 120, Beverages, 2},
        {"მინერალური წყალი 0.5 ლ", Drinks, 3, 1.1, 150, Beverages, 3},
        {"ფორთოხლის ფრეში", Drinks, 8, 3.2, 40, Beverages, 4},
        {"ყავა", Drinks, 5, 1.4, 200, Beverages, 5},
        {"ჩაი", Drinks, 3.5, 0.8, 200, Beverages, 6},
        {"საფერავი, ბოკალი", Drinks, 9, 3.5, 60, Winery, 7},
        {"რქაწითელი, ბოკალი", Drinks, 8, 3.1, 60, Winery, 8},
        {"ლუდი 0.5 ლ", Drinks, 6, 2.4, 100, Beverages, 9},
    };
    return all;
}

const std::vector<DemoData::Waiter>& DemoData::waiters()
{
    static const std::vector<Waiter> all = {
        {"ანა მაისურაძე", true},
        {"დავით ლომიძე", true},
        {"სალომე წიკლაური", true},
        {"ირაკლი ხუციშვილი", false},
    };
    return all;
}

const std::vector<DemoData::Routing>& DemoData::routing()
{
    // Exactly one cook for each kitchen type (a type with two cooks reaches
    // nobody by the routing rule) and none for the drinks; every cook has a type.
    static const std::vector<Routing> all = {
        {Hot, "გიორგი ბერიძე"},
        {Salads, "მარიამ ჯავახიშვილი"},
        {Khinkali, "ლევან გელაშვილი"},
        {Bakery, "ნინო კაპანაძე"},
        {Grill, "ლევან გელაშვილი"},
        {Desserts, "მარიამ ჯავახიშვილი"},
    };
    return all;
}

QString DemoData::fill(TDM& dm, bool replace)
{
    Transaction tx;

    dm.kerdzebibyid->close();
    dm.kerdzebibyid->open();
    const int present = dm.kerdzebibyid->rowCount();
    dm.kerdzebibyid->close();
    if (present > 0 && !replace)
        throw ToolError(QStringLiteral("the database already has %1 menu items; --force empties every "
                                       "table but the settings and writes the demo restaurant")
                            .arg(present));

    dm.setting->close();
    dm.setting->open();
    if (dm.setting->isEmpty())
        throw ToolError(QStringLiteral("the database has no settings row (Parametres); "
                                       "make it with kelvora-db init"));

    if (replace) {
        QSqlDatabase db = Connection::database();
        for (const Schema::Table& t : Schema::tables()) {
            const QString name = QLatin1String(t.name);
            if (name == QLatin1String("Parametres"))
                continue;
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("delete from %1").arg(name)))
                throw DbError(q.lastError().text());
        }
    }

    // The floor keeps the number of tables init was given.
    const qint64 tables = dm.setting->asInteger(QStringLiteral("Tables"));
    if (replace) {
        dm.setting->edit();
        dm.setting->setField(QStringLiteral("inctb"), 0);
        dm.setting->post();
    }
    dm.setting->close();

    NamedQuery* menu = dm.kerdzebi;
    menu->close();
    menu->setParam(QStringLiteral("das"), QStringLiteral("%"));
    menu->setParam(QStringLiteral("tp"), QStringLiteral("%"));
    menu->open();
    QSet<QString> types;
    for (const Item& item : items()) {
        menu->insert();
        menu->setField(QStringLiteral("Dasaxeleba"), text(item.name));
        menu->setField(QStringLiteral("tipi"), text(item.type));
        menu->setField(QStringLiteral("gasayidi"), item.price);
        menu->setField(QStringLiteral("asagebi"), item.cost);
        menu->setField(QStringLiteral("raodenoba"), item.stock);
        menu->setField(QStringLiteral("momwodebeli"), text(item.supplier));
        menu->setField(QStringLiteral("prioriteti"), item.priority);
        menu->post();
        types.insert(text(item.type));
    }
    menu->close();

    NamedQuery* staff = dm.oficianti;
    staff->close();
    staff->open();
    for (const Waiter& w : waiters()) {
        staff->insert();
        staff->setField(QStringLiteral("Oficianti"), text(w.name));
        staff->setField(QStringLiteral("mdgomareoba"), text(w.active ? ActiveWaiter : PassiveWaiter));
        staff->post();
    }
    staff->close();

    NamedQuery* kitchen = dm.povrebis_uplebebi;
    kitchen->close();
    kitchen->setParam(QStringLiteral("GAN"), QStringLiteral("%"));
    kitchen->open();
    QSet<QString> cooks;
    for (const Routing& r : routing()) {
        kitchen->insert();
        kitchen->setField(QStringLiteral("ganyofileba"), text(r.type));
        kitchen->setField(QStringLiteral("povari"), text(r.cook));
        kitchen->post();
        cooks.insert(text(r.cook));
    }
    kitchen->close();

    tx.commit();
    return QStringLiteral("Wrote the demo restaurant: %1 menu items in %2 types, %3 waiters, %4 cooks, %5 tables.")
        .arg(items().size())
        .arg(types.size())
        .arg(waiters().size())
        .arg(cooks.size())
        .arg(tables);
}
