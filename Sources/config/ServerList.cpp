#include "config/ServerList.h"
