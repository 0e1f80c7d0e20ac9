#pragma once

#include <QString>

#include "store/keyword_tree_file.h"

class QWidget;

// What the window tells the user when the tree file could not be read.

inline constexpr char kTreeFileDamagedCaption[] = "频道树文件无法读取";

QString TreeFileDamageText(const TreeFileDamage& damage);

// A message box over `parent` that does not block: the tree file could not be read, and where
// it is kept.
void ShowTreeFileDamage(QWidget* parent, const TreeFileDamage& damage);
