#include "shell/forms.h"
#include "app/kelvorau.h"
#include "orders/shekveta.h"
#include "orders/raodenobau.h"
#include "orders/eraodenoba.h"
#include "orders/magidis_shecvla.h"
#include "orders/konsignaciapas.h"
#include "orders/tanxis_gadaxda_winaswar.h"
#include "kitchen/coock_menu_u.h"
#include "floorplan/floorplan.h"
#include "kitchen/cooktab.h"
#include "kitchen/waitertab.h"
#include "tests/support/legacynames.h"

#include "shell/dbgrid.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTest>
#include <memory>
#include <type_traits>

// The windows' controls carry the names the layout and the other windows use,
// and the handlers the system names are members.
class tst_LegacyNames : public QObject
{
    Q_OBJECT

    std::unique_ptr<TKelvora> m_main;

private Q_SLOTS:
    void initTestCase() { m_main.reset(TKelvora::createWindows()); }

    void tKelvora_data()
    {
        LegacyNames::columns();
        auto* w = m_main.get();
        LegacyNames::rows("TKelvora", {LEGACY_MEMBER(w, PageControl1),
                                       LEGACY_MEMBER(w, TabSheet1),
                                       LEGACY_MEMBER(w, TabSheet5),
                                       LEGACY_MEMBER(w, tabsheet2),
                                       LEGACY_MEMBER(w, TabSheet3),
                                       LEGACY_MEMBER(w, TabSheet10),
                                       LEGACY_MEMBER(w, TabSheet11),
                                       LEGACY_MEMBER(w, PageControl2),
                                       LEGACY_MEMBER(w, TabSheet4),
                                       LEGACY_MEMBER(w, TabSheet6),
                                       LEGACY_MEMBER(w, TabSheet7),
                                       LEGACY_MEMBER(w, TabSheet8),
                                       LEGACY_MEMBER(w, TabSheet9),
                                       LEGACY_MEMBER(w, Timer1)});
    }
    void tKelvora() { LegacyNames::check(); }

    void tshekvetebi_data()
    {
        LegacyNames::columns();
        auto* w = forms().shekvetebi;
        LegacyNames::rows("Tshekvetebi", {LEGACY_MEMBER(w, Label1),
                                          LEGACY_MEMBER(w, TabControl1),
                                          LEGACY_MEMBER(w, Panel2),
                                          LEGACY_MEMBER(w, Panel3),
                                          LEGACY_MEMBER(w, ComboBox1),
                                          LEGACY_MEMBER(w, Label2),
                                          LEGACY_MEMBER(w, Edit1),
                                          LEGACY_MEMBER(w, DBGrid1),
                                          LEGACY_MEMBER(w, Splitter1),
                                          LEGACY_MEMBER(w, Panel6),
                                          LEGACY_MEMBER(w, CheckBox2),
                                          LEGACY_MEMBER(w, CheckBox1),
                                          LEGACY_MEMBER(w, SpeedButton2),
                                          LEGACY_MEMBER(w, SpeedButton3),
                                          LEGACY_MEMBER(w, DBGrid2),
                                          LEGACY_MEMBER(w, Panel7),
                                          LEGACY_MEMBER(w, DBText1),
                                          LEGACY_MEMBER(w, Label3),
                                          LEGACY_MEMBER(w, DBText2),
                                          LEGACY_MEMBER(w, Button2),
                                          LEGACY_MEMBER(w, Button1),
                                          LEGACY_MEMBER(w, StatusBar1),
                                          LEGACY_MEMBER(w, SpeedButton1)});
    }
    void tshekvetebi() { LegacyNames::check(); }

    void tRaodenoba_data()
    {
        LegacyNames::columns();
        auto* w = forms().Raodenoba;
        LegacyNames::rows("TRaodenoba", {LEGACY_MEMBER(w, DBText1),
                                         LEGACY_MEMBER(w, Label1),
                                         LEGACY_MEMBER(w, rao),
                                         LEGACY_MEMBER(w, Button1)});
    }
    void tRaodenoba() { LegacyNames::check(); }

    void tEditRaoden_data()
    {
        LegacyNames::columns();
        auto* w = forms().EditRaoden;
        LegacyNames::rows("TEditRaoden", {LEGACY_MEMBER(w, DBText1),
                                          LEGACY_MEMBER(w, Label1),
                                          LEGACY_MEMBER(w, Edit1),
                                          LEGACY_MEMBER(w, Button1)});
    }
    void tEditRaoden() { LegacyNames::check(); }

    void tmagidisshecvla_data()
    {
        LegacyNames::columns();
        auto* w = forms().magidisshecvla;
        LegacyNames::rows("Tmagidisshecvla", {LEGACY_MEMBER(w, Label4),
                                              LEGACY_MEMBER(w, Label5),
                                              LEGACY_MEMBER(w, ComboBox1),
                                              LEGACY_MEMBER(w, Button1)});
    }
    void tmagidisshecvla() { LegacyNames::check(); }

    void tkonsignacia_data()
    {
        LegacyNames::columns();
        auto* w = forms().konsignacia;
        LegacyNames::rows("Tkonsignacia", {LEGACY_MEMBER(w, Label5),
                                           LEGACY_MEMBER(w, Label6),
                                           LEGACY_MEMBER(w, Label7),
                                           LEGACY_MEMBER(w, CheckBox1),
                                           LEGACY_MEMBER(w, Edit1),
                                           LEGACY_MEMBER(w, Button1)});
    }
    void tkonsignacia() { LegacyNames::check(); }

    void tTANXIS_GADAXDA_data()
    {
        LegacyNames::columns();
        auto* w = forms().TANXIS_GADAXDA;
        LegacyNames::rows("TTANXIS_GADAXDA", {LEGACY_MEMBER(w, Label1),
                                              LEGACY_MEMBER(w, Edit1),
                                              LEGACY_MEMBER(w, Button1)});
    }
    void tTANXIS_GADAXDA() { LegacyNames::check(); }

    void tcoock_menu_data()
    {
        LegacyNames::columns();
        auto* w = forms().coock_menu;
        LegacyNames::rows("Tcoock_menu", {LEGACY_MEMBER(w, Button1),
                                          LEGACY_MEMBER(w, Button2),
                                          LEGACY_MEMBER(w, Button3),
                                          LEGACY_MEMBER(w, Button4)});
    }
    void tcoock_menu() { LegacyNames::check(); }

    void floorPlan_data()
    {
        LegacyNames::columns();
        auto* w = m_main.get()->floorPlan;
        LegacyNames::rows("FloorPlan", {LEGACY_MEMBER(w, ScrollBox1),
                                        LEGACY_MEMBER(w, img1),
                                        LEGACY_MEMBER(w, Label1),
                                        LEGACY_MEMBER(w, Button1),
                                        LEGACY_MEMBER(w, Button2),
                                        LEGACY_MEMBER(w, Button3),
                                        LEGACY_MEMBER(w, SpeedButton1),
                                        LEGACY_MEMBER(w, SpeedButton2)});
    }
    void floorPlan() { LegacyNames::check(); }

    void cookTab_data()
    {
        LegacyNames::columns();
        auto* w = m_main.get()->cook;
        LegacyNames::rows("CookTab", {LEGACY_MEMBER(w, Panel13),
                                      LEGACY_MEMBER(w, ComboBox11),
                                      LEGACY_MEMBER(w, ComboBox13),
                                      LEGACY_MEMBER(w, ComboBox12),
                                      LEGACY_MEMBER(w, Button18),
                                      LEGACY_MEMBER(w, SpeedButton10),
                                      LEGACY_MEMBER(w, SpeedButton11),
                                      LEGACY_MEMBER(w, Splitter2),
                                      LEGACY_MEMBER(w, Panel11),
                                      LEGACY_MEMBER(w, Panel12),
                                      LEGACY_MEMBER(w, DBGrid10),
                                      LEGACY_MEMBER(w, DBGrid11)});
    }
    void cookTab() { LegacyNames::check(); }

    void waiterTab_data()
    {
        LegacyNames::columns();
        auto* w = m_main.get()->waiter;
        LegacyNames::rows("WaiterTab", {LEGACY_MEMBER(w, Panel16),
                                        LEGACY_MEMBER(w, ComboBox8),
                                        LEGACY_MEMBER(w, ComboBox10),
                                        LEGACY_MEMBER(w, SpeedButton12),
                                        LEGACY_MEMBER(w, Button19),
                                        LEGACY_MEMBER(w, DBGrid12)});
    }
    void waiterTab() { LegacyNames::check(); }

    void handlersAreMembers_data()
    {
        QTest::addColumn<bool>("member");
        QTest::newRow("Tshekvetebi::DBGrid2DrawColumnCell") << std::is_member_function_pointer_v<decltype(&Tshekvetebi::DBGrid2DrawColumnCell)>;
        QTest::newRow("CookTab::DBGrid10DrawColumnCell") << std::is_member_function_pointer_v<decltype(&CookTab::DBGrid10DrawColumnCell)>;
        QTest::newRow("CookTab::DBGrid11DrawColumnCell") << std::is_member_function_pointer_v<decltype(&CookTab::DBGrid11DrawColumnCell)>;
        QTest::newRow("WaiterTab::DBGrid12DrawColumnCell") << std::is_member_function_pointer_v<decltype(&WaiterTab::DBGrid12DrawColumnCell)>;
        QTest::newRow("TRaodenoba::raoKeyPress") << std::is_member_function_pointer_v<decltype(&TRaodenoba::raoKeyPress)>;
        QTest::newRow("TEditRaoden::Edit1KeyPress") << std::is_member_function_pointer_v<decltype(&TEditRaoden::Edit1KeyPress)>;
        QTest::newRow("TTANXIS_GADAXDA::Edit1KeyPress") << std::is_member_function_pointer_v<decltype(&TTANXIS_GADAXDA::Edit1KeyPress)>;
    }
    void handlersAreMembers()
    {
        QFETCH(bool, member);
        QVERIFY(member);
    }

    void cookGridsOnTheirPanels()
    {
        QCOMPARE(m_main->cook->DBGrid10->parentWidget(), m_main->cook->Panel11);
        QCOMPARE(m_main->cook->DBGrid11->parentWidget(), m_main->cook->Panel12);
        QCOMPARE(m_main->cook->Panel11->parentWidget(), m_main->cook->Splitter2);
    }

    void keyRuleInstalled_data()
    {
        QTest::addColumn<QObject*>("box");
        QTest::newRow("rao") << static_cast<QObject*>(forms().Raodenoba->rao);
        QTest::newRow("EditRaoden Edit1") << static_cast<QObject*>(forms().EditRaoden->Edit1);
        QTest::newRow("TANXIS_GADAXDA Edit1") << static_cast<QObject*>(forms().TANXIS_GADAXDA->Edit1);
    }
    void keyRuleInstalled()
    {
        // A letter is refused, a digit passes.
        QFETCH(QObject*, box);
        auto* edit = qobject_cast<QLineEdit*>(box);
        QVERIFY(edit);
        edit->clear();
        QTest::keyClicks(edit, QStringLiteral("a7"));
        QCOMPARE(edit->text(), QStringLiteral("7"));
    }
};

QTEST_MAIN(tst_LegacyNames)
#include "tst_legacynames.moc"
