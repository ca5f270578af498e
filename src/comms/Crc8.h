#pragma once
// Moved to the protocol layer; kept while callers move over.
#include "protocol/Crc8.h"
