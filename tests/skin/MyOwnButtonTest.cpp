#include "skin/WidgetTestSupport.h"
