// Program-wide names and directories, set at start-up.
#pragma once

extern char proj_dir[260];
extern char dirName[260];
extern char appliniPath[260];
extern char templatesPath[260];
extern char szSoftname[72];
extern char szSoftversion[72];
