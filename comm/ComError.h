// Errors of the control as values: number, source, description, help file and help context,
// as the control's callers and its OnError event expect them.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>

namespace comm {

// The object-error base: the control's own errors are this plus a small number.
inline constexpr std::int32_t kObjectErrorBase = static_cast<std::int32_t>(0x80040000u);

inline constexpr std::int32_t kErrSubscriptOutOfRange = 9;
inline constexpr std::int32_t kErrNotAtDesignTime = 382;

struct ComError {
    std::int32_t number = 0;
    std::string source;
    std::string description;
    std::string helpFile;
    std::int32_t helpContext = 0;
};

// The outcome of an operation that returns nothing else.
class [[nodiscard]] Status {
public:
    Status() = default;
    Status(ComError error) : error_(std::move(error)) {}  // NOLINT: implicit by design

    bool ok() const { return !error_; }
    explicit operator bool() const { return ok(); }
    const ComError& error() const { return *error_; }

private:
    std::optional<ComError> error_;
};

// A value or the error that prevented it.
template <typename T>
class [[nodiscard]] Expected {
public:
    Expected(T value) : state_(std::move(value)) {}         // NOLINT: implicit by design
    Expected(ComError error) : state_(std::move(error)) {}  // NOLINT: implicit by design

    bool ok() const { return std::holds_alternative<T>(state_); }
    explicit operator bool() const { return ok(); }

    const T& value() const {
        if (!ok()) {
            throw std::logic_error("value of a failed result: " + error().description);
        }
        return std::get<T>(state_);
    }
    const ComError& error() const { return std::get<ComError>(state_); }

private:
    std::variant<T, ComError> state_;
};

}  // namespace comm
