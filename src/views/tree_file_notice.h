#pragma once

#include <QString>
#include <string>

#include "store/keyword_tree_file.h"

class QWidget;

// What the window tells the user when the tree file could not be read, or written.

inline constexpr char kTreeFileDamagedCaption[] = "频道树文件无法读取";

QString TreeFileDamageText(const TreeFileDamage& damage);

// A message box over `parent` that does not block: the tree file could not be read, and where
// it is kept.
void ShowTreeFileDamage(QWidget* parent, const TreeFileDamage& damage);

inline constexpr char kTreeFileNotSavedCaption[] = "频道树无法保存";

// The tree file at `path` could not be written, for the system's reason `errorNumber`.
QString TreeFileNotSavedText(const std::string& path, int errorNumber);

// A message box over `parent` that does not block: a change of the tree could not be saved.
// While one such box is open, later failures add no other.
void ShowTreeFileNotSaved(QWidget* parent, const std::string& path, int errorNumber);
