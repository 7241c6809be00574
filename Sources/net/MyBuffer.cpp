#include "net/MyBuffer.h"
