#include "platform/ShellLaunch.h"
