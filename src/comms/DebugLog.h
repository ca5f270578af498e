#pragma once
// Diagnostic texts for the developer (port errors, closes). Off unless the
// environment variable TORNU_DEBUG is set; then they go to standard error.
// Never shown to the operator.

namespace tornu {

class CDebugLog {
public:
    static bool Enabled();
    // Overrides the environment (tests).
    static void SetEnabled(bool on);

    // printf-style; the text is written as given (callers add their own breaks).
    static void Write(const char* format, ...) __attribute__((format(printf, 1, 2)));
};

} // namespace tornu
