// The program may include every layer and name its globals.
#include "dialogs/box.h"
CMainFrame* g_pMainFrame = nullptr;
