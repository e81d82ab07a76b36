#pragma once

#include <QObject>
#include <QString>

class NamedQuery;

// Binds a query to the controls that show it. Controls follow its signals;
// while the controls are disabled (a long walk through the rows) nothing is
// passed on, and enabling them again redraws them once.
class DataSource : public QObject
{
    Q_OBJECT

public:
    DataSource(const QString& name, NamedQuery* dataSet, QObject* parent = nullptr);

    NamedQuery* dataSet() const { return m_dataSet; }
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_disabled > 0; }

Q_SIGNALS:
    void reset();  // opened, closed or re-read: everything shown changes
    void rowChanged(int row);
    void rowInserted(int row);
    void rowAboutToBeRemoved(int row);  // still in the query; rowRemoved follows
    void rowRemoved(int row);
    void currentChanged(int row);
    // Any change seen through this source while its query is open.
    void dataChange();

private:
    NamedQuery* m_dataSet;
    int m_disabled = 0;
};
