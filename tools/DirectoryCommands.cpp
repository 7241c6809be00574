#include "DirectoryCommands.h"
