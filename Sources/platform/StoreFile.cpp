#include "platform/StoreFile.h"
