#pragma once

// Shows a wait indicator over the window in front while the office starts, when
// there are windows. The application installs it once, at its start.
void showWaitWhileOfficeStarts();
