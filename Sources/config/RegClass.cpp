#include "config/RegClass.h"
