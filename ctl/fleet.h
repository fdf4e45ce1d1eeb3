// Many controllers from one call: the controllers of an inventory file, each
// run by a qvex-ctl process of its own, so that one hung controller or link
// cannot hold up the others.
#pragma once

#include "ctl/ctl.h"

#include <string>
#include <vector>

namespace ctl {

// One controller of the inventory and the link options its process gets.
struct InventoryEntry {
    std::string name;
    std::string link;                  // as the result names it
    std::vector<std::string> linkArgs; // --tcp HOST:PORT, or --serial X --baud RATE
    std::string deviceKey;             // the device: one controller at a time on it
};

// Reads the inventory (one section a controller: tcp = HOST:PORT, or
// serial = N|DEVICE with an optional baud), checks every entry's link and
// keeps the controllers --limit names. Returns "" or what is wrong with it,
// naming the line; nothing runs then.
std::string ReadInventory(const Options &options, std::vector<InventoryEntry> *entries);

// The first argument of a controller's process: the arguments after it are
// percent-encoded, so that every byte of a file name reaches it.
constexpr char kFleetChildSwitch[] = "--fleet-child";
// Decodes a controller process's arguments in place when argv starts with
// kFleetChildSwitch; storage keeps the decoded texts.
void DecodeFleetChildArgs(int *argc, char ***argv, std::vector<std::string> *storage,
                          std::vector<char *> *pointers);

// The worse of two exit statuses: 130, then 2, then 1, then 3, then 0.
int WorseExit(int a, int b);

// Runs options.command for every controller of options.inventory, at most
// options.jobs at once. Returns the worst of their exit statuses.
int RunFleet(int argc, char **argv, const Options &options);

} // namespace ctl
