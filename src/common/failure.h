#pragma once
// The text a failure that came as an exception is reported with, where a
// program turns it into a report and an exit status instead of an abort.
#include <exception>
#include <new>
#include <string>

namespace quorlane {

// The reason of an exception that is not a std::exception.
constexpr char kUnknownFailure[] = "an unexpected failure";

inline std::string ExceptionReason(const std::exception& e) {
    if (dynamic_cast<const std::bad_alloc*>(&e) != nullptr) return "not enough memory";
    return e.what();
}

}  // namespace quorlane
