#pragma once

#include <QWidget>
#include <vector>

class QButtonGroup;
class QTabWidget;
class QToolButton;

// The tabs of a tab widget as rows of buttons in place of its own bar, which
// scrolls: when the window is too narrow for one row the tabs wrap onto the
// next. The tab widget keeps its tabs and its current index; the rows follow it
// and a click selects the tab.
class TabRows : public QWidget
{
    Q_OBJECT

public:
    // The tab widget's tabs are all added already.
    TabRows(QTabWidget* tabs, const QFont& font, QWidget* parent = nullptr);

    QToolButton* button(int index) const { return m_buttons[std::size_t(index)]; }
    int rowCount() const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // Lays the buttons out in rows for `width`; moves them when `apply`, and
    // returns the height the rows take.
    int arrange(int width, bool apply, int* rows = nullptr) const;
    void follow(int index);

    QTabWidget* m_tabs;
    QButtonGroup* m_group;
    std::vector<QToolButton*> m_buttons;
};
