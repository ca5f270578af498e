#pragma once
// The records' side of the loop configuration text (protocol/LoopConfigText.h):
// the layout the text is built from is CTerminal::LoopLayout; the appliers
// are CTerminal::SetLoopConfiguration and ApplyLoopConfiguration.
#include "protocol/LoopConfigText.h"
