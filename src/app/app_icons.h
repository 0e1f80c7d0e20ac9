#pragma once

#include <QIcon>

// The program's icons, drawn in code so that a bare system shows them.

QIcon ApplicationIcon();
// Tree icons: a folder (open when selected) and a channel (highlighted when selected).
QIcon FolderIcon();
QIcon ChannelIcon();
// The root's icon: the folder image in both states.
QIcon RootIcon();
