#pragma once
// The records' side of the loop configuration text (protocol/LoopConfigText.h):
// the builder and the appliers are CDevice::BuildLoopEntry and
// CTerminal::BuildLoopConfiguration, SetLoopConfiguration and
// ApplyLoopConfiguration.
#include "protocol/LoopConfigText.h"
