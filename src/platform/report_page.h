// Report pages between print.cpp (the printer, the preview) and
// report_page.cpp (what is drawn on a page).
#pragma once

#include "platform/platform.h"

class QPrinter;

namespace rt {

// Orientation, colour mode and resolution of SetPrintAttributeEx; a printer
// that prints no colour gets grey whatever was asked.
void ApplyPrintAttributes(QPrinter *printer);
// Draws the pages on the printer, a new page for each; false when the
// printer could not be painted on.
bool DrawReportPages(QPrinter *printer, const std::vector<ReportPage> &pages);

} // namespace rt
