#include "maint/access.h"

char password[kPasswordMax + 1] = "4826";
const char master_password[] = "Quarrytin";
