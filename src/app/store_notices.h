#pragma once

#include <QString>

#include "feeds/engine_report.h"
#include "store/keyword_tree_file.h"

class QWidget;

// What the window tells the user about the store: reports of the engine and of the start in
// the status bar, a damaged tree file in a message box.

QString EngineReportText(const EngineReport& report);
QString TreeFileDamageText(const TreeFileDamage& damage);

// Shows `report` in the main window's status bar. Any thread: it is posted to the window
// thread, so it suits CFeedStore::SetReporter.
void ShowEngineReport(const EngineReport& report);
// Why the database could not be opened, in the status bar beside the "启动失败" box.
void ShowStartupFailure(const std::string& reason);
// Tells the user once, in a message box over `parent` that does not block, that the tree file
// could not be read and where it is kept.
void ShowTreeFileDamage(QWidget* parent, const TreeFileDamage& damage);

// The message box's caption.
inline constexpr char kTreeFileDamagedCaption[] = "频道树文件无法读取";
