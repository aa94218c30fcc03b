#pragma once

class QWidget;

// Clicks the control of `window` named `name` with the left mouse button. A
// name that matches no control fails the running test instead of crashing it.
void click(QWidget &window, const char *name);
