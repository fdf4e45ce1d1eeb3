#include "core/program.h"

char proj_dir[260];
char dirName[260];
char appliniPath[260];
char templatesPath[260];
char szSoftname[72] = "Q-VEX-MOD7-ARC Scope ";
char szSoftversion[72] = "v1.0x (Build 01/2010)";
