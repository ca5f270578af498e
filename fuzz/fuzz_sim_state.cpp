// Arbitrary bytes as the simulator's state file. Whatever Read accepts must
// render to a text that Read takes back and renders the same way again.
#include "sim/TerminalState.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    tornu::CTerminalState state;
    std::string error;
    // "@file" references name files that do not exist here: they fail, cleanly.
    if (!state.Read(text, "/nonexistent", error))
        return 0;
    state.BuildLoopConfiguration();
    const std::string rendered = state.Render();
    tornu::CTerminalState again;
    if (!again.Read(rendered, "/nonexistent", error) || again.Render() != rendered)
        std::abort();
    return 0;
}
