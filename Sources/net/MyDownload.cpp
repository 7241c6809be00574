#include "net/MyDownload.h"
