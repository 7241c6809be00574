#include "platform/WindowMessage.h"
