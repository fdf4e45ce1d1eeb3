#include "params/transfer.h"

int target = RAM;
