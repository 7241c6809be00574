#include "skin/SkinInfo.h"
