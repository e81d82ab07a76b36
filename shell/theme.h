#pragma once

class QApplication;

// The flat green look "Metropolis UI Green". Returns false (and leaves the
// system's look) when it cannot be applied.
bool applyTheme(QApplication& app);
