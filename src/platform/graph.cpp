// Graph control over QCustomPlot.
#include "platform/internal.h"

namespace rt {

void InitGraphCtrl(int, int, QWidget *) {}

bool GraphSetAttribute(QWidget *, int, double, int *) { return false; }

bool GraphGetAttribute(QWidget *, int, double *, int *) { return false; }

} // namespace rt
