#pragma once

#include <initializer_list>

class QAbstractButton;
class QWidget;

// Enter (either key) in a field presses the button beside it, as a click
// would: the new waiter's name and its "დამატება", a receiving line and its
// mark. An editable box's own edit takes the key.
void pressOnEnter(std::initializer_list<QWidget*> fields, QAbstractButton* button);
