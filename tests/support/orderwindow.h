#pragma once

#include "shell/forms.h"
#include "app/kelvorau.h"
#include "floorplan/floorplan.h"
#include "orders/shekveta.h"
#include "tests/support/screens.h"

#include <QTest>
#include <functional>
#include <memory>

// The order window reached as a waiter reaches it: the main window on the
// current database, a table picture clicked on its floor plan.
namespace OrderWindow {

// The ten windows made and the main window shown, as at the program's start.
inline std::unique_ptr<TKelvora> showMainWindow()
{
    std::unique_ptr<TKelvora> main(TKelvora::createWindows());
    main->resize(1200, 700);
    main->show();
    if (!QTest::qWaitForWindowExposed(main.get()))
        qWarning("the main window was not exposed");
    return main;
}

// Clicks table `table` on the floor plan; `inside` runs while its order window is
// up, which is closed afterwards unless `inside` closed it.
inline void openTable(TKelvora* main, int table, const std::function<void()>& inside)
{
    Screens::whenModal([inside] {
        inside();
        if (forms().shekvetebi->isVisible())
            forms().shekvetebi->reject();
    });
    QTest::mouseClick(main->floorPlan->picture(table), Qt::LeftButton);
}

}  // namespace OrderWindow
