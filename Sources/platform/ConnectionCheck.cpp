#include "platform/ConnectionCheck.h"
