#include "news/list_mode.h"

std::atomic<int> g_nListMode{kListModeAll};
