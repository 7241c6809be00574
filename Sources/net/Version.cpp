#include "net/Version.h"
