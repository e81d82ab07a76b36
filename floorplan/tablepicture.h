#pragma once

#include <QLabel>

// A table picture on the floor plan: its name is "img" + the table number and
// its hint the number as text.
class TablePicture : public QLabel
{
    Q_OBJECT

public:
    explicit TablePicture(QWidget* parent = nullptr);

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};
