#include "net/UpdateCheck.h"
