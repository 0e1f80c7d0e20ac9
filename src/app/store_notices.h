#pragma once

#include <QString>

#include "feeds/engine_report.h"

// The window's words for what the store reports, shown in the status bar.
QString EngineReportText(const EngineReport& report);

// Shows `report` in the main window's status bar. Any thread: it is posted to the window
// thread, so it suits CFeedStore::SetReporter.
void ShowEngineReport(const EngineReport& report);
