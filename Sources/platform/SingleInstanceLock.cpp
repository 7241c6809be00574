#include "platform/SingleInstanceLock.h"
