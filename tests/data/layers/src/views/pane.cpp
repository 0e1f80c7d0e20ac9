// A view that reaches up into the window program.
#include "app/main_frame.h"
#include "model/news_row.h"
