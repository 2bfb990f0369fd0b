// Done, or why not: what every operation that can be refused or can fail
// returns, from the model's file readers to the dialogs' field checks. The
// reason is the text the user is shown (UTF-8), complete or as the part
// that follows the caller's prefix ("Cann't load file: " + reason).
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace zorbel {

class [[nodiscard]] Result {
public:
    // Done.
    Result() = default;
    static Result Done() { return {}; }
    // Not done, and why.
    static Result Failed(std::string why) { return Result(std::move(why)); }

    bool Ok() const { return !why_; }
    explicit operator bool() const { return Ok(); }
    // The reason; empty when done.
    const std::string& Why() const {
        static const std::string kNone;
        return why_ ? *why_ : kNone;
    }

    friend bool operator==(const Result&, const Result&) = default;

private:
    explicit Result(std::string why) : why_(std::move(why)) {}
    std::optional<std::string> why_;
};

}  // namespace zorbel
