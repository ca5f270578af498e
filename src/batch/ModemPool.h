#pragma once
// The modems a fleet job runs over. The section "Modem" is the pool's first
// port (a pool of one by default); each further modem has a section of its
// own, "Modem2", "Modem3" and so on, numbered without gaps, with the same keys
// ("ComPort", "ComSpeed", "Init", "Emul", "CheckCrc"). A key a further section
// leaves out is taken from "Modem".
#include "batch/BatchQueue.h"

#include <string>
#include <vector>

namespace tornu {

class CIniFile;

// Every port of the settings' pool, in order.
std::vector<BatchPort> ModemPool(const CIniFile& settings);
// The named ports, each with the other keys of "Modem" (the command line's
// "--ports COM1,COM2").
std::vector<BatchPort> ModemPool(const CIniFile& settings, const std::vector<std::string>& ports);

} // namespace tornu
