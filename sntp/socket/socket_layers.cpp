#include "sntp/socket/wsocket.h"
