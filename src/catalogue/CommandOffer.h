#pragma once
// Which catalogue commands are offered for the selected node, and the file
// names the operator last chose for them, remembered in the settings file:
//
//   [BusDevice.Commands.Files]
//   LoadFirmware_FileIn=/home/op/firmware/bm4.bin
//   ReadEventLog_FileOut=/home/op/logs/events.bin
//
// Shared by the desktop program's exchange and the command-line front end.
#include "catalogue/CommandDesc.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tornu {

class CCatalogue;
class CIniFile;

inline constexpr const char* kCommandFilesSection = "BusDevice.Commands.Files";

// The node commands are run against.
enum class CommandNode {
    Terminal,          // a base module
    TopLevelDevice,    // a network device without a master
    SubordinateDevice, // a network device that has a master
};

// The node of a device whose master is `masterId` (-1: none).
CommandNode DeviceCommandNode(std::int32_t masterId);

// "T" fits a terminal; "D" any device; "DM" a top-level and "DS" a
// subordinate device.
bool IsCommandOffered(const CCommandDesc& command, CommandNode node);

// Key of a remembered file name: the command's name + "_FileIn" for
// kCommandFileIn, + "_FileOut" for kCommandFileOut.
std::string CommandFileKey(const CCommandDesc& command, int flag);

// Before the choice: every catalogue command's result goes back to "not
// completed" with no text, and each command with an input (output) file takes
// the name remembered for it, when there is one. Returns the commands that
// fit the node, in catalogue order; they stay owned by the catalogue.
std::vector<CCommandDesc*> PrepareCommandOffer(CCatalogue& catalogue, CIniFile& settings,
                                               CommandNode node);

// After the choice: the file names of the offered commands, for the files
// each has, are written back and the settings file is saved. False when a
// name could not be stored (a line break in it) or the file could not be
// saved; every other name is still written.
bool RememberCommandFiles(const std::vector<CCommandDesc*>& offered, CIniFile& settings);

} // namespace tornu
