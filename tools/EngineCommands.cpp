#include "EngineCommands.h"
