#include "shell/SearchEngines.h"
