// A dialog that includes a folder of its own layer.
#include "bars/search_bar.h"
#include "views/tree_view.h"
