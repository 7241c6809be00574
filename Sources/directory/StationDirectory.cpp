#include "directory/StationDirectory.h"
