#pragma once

#include <QWidget>

class DBGrid;
class QComboBox;
class QDateTimeEdit;
class QLineEdit;
class QPushButton;
class QToolButton;
class TDM;

// The deletions tab: the log of deleted order lines and changed quantities of a
// period, by order and table. It prepares itself whenever it is shown.
class DeletionsReport : public QWidget
{
    Q_OBJECT

public:
    explicit DeletionsReport(TDM* dm, QWidget* parent = nullptr);

    QLineEdit* LabeledEdit6;  // order number
    QComboBox* ComboBox9;     // table number
    QDateTimeEdit* DateTimePicker6;
    QDateTimeEdit* DateTimePicker7;
    QPushButton* Button16;      // "ძებნა"
    QToolButton* SpeedButton5;  // export
    QPushButton* Button17;      // hidden: the tab's preparation
    DBGrid* DBGrid9;

    void TabSheet9Show();      // the tab being shown
    void Button17Click();      // prepares the tab; never searches
    void Button16Click();      // searches the log
    void SpeedButton5Click();  // the listed entries to a new workbook

protected:
    void showEvent(QShowEvent* event) override;

private:
    TDM* m_dm;
};
