#pragma once
// The outcome of an operation whose failure the caller acts on: success, or
// the text that tells the operator why not. Returned by value instead of a
// bool beside a "why" getter, so the reason cannot go stale or be lost.
#include <optional>
#include <string>
#include <utility>

namespace tornu {

class [[nodiscard]] CResult {
public:
    CResult() = default; // success
    static CResult Ok() { return {}; }
    static CResult Fail(std::string why) { return CResult(std::move(why)); }

    bool ok() const { return !error_; }
    explicit operator bool() const { return ok(); }
    // The reason; empty on success (and for a failure with nothing more to say).
    const std::string& Error() const {
        static const std::string none;
        return error_ ? *error_ : none;
    }

private:
    explicit CResult(std::string why) : error_(std::move(why)) {}
    std::optional<std::string> error_;
};

} // namespace tornu
