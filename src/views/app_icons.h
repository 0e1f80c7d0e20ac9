#pragma once

#include <QIcon>

// The program's icons. The tree's are drawn in code so that a bare system shows them.

// The application's own picture, built into the program at the sizes of the icon theme it
// is installed into, so the window shows the same picture as the desktop's menu.
inline constexpr int kApplicationIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
QIcon ApplicationIcon();
// Tree icons: a folder (open when selected) and a channel (highlighted when selected).
QIcon FolderIcon();
QIcon ChannelIcon();
// A channel with a failing source (FailureMarkShown): the channel in grey under a red "!".
QIcon WarnedChannelIcon();
// The root's icon: the folder image in both states.
QIcon RootIcon();
// The 星标新闻 node's: a filled star.
QIcon StarIcon();
