// Expert mode: the user password and the built-in master password.
#pragma once

constexpr int kPasswordMax = 20;
extern char password[kPasswordMax + 1];
extern const char master_password[];
constexpr const char kDefaultPassword[] = "4826";
