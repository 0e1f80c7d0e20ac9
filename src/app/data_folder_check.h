#pragma once

#include <QString>

#include "store/data_folder.h"

class QWidget;

// Lays out the data folder the environment names (DefaultDataFolder) from the installed
// template and points theStore at it; the engine must not be running. When the folder cannot
// be laid out or its database is refused, shows why in a modal message box over `parent`
// (may be null) and returns false: the window is not opened then, and nothing in the folder
// has been changed by the refusal.
bool PrepareDataFolder(QWidget* parent);

// What the window says about a failed status, in the interface's language.
QString DataFolderMessage(const DataFolderStatus& status);
