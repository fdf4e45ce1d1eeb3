// The application settings file: link settings, address history, password,
// panel-selector state and main-panel geometry, kept from one run to the next.
#pragma once

// Server address offered when no settings file exists yet.
extern const char kDefaultServerAddress[];

int readApplicationVarsFromIni(const char *path);
int writeApplicationVarsToIni(const char *path);
