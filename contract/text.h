// Small text helpers shared by the scoring and oblast code. All of them work on
// raw bytes of the host's 8-bit code page; none depends on a locale.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace morvel {

// A failure with a message meant for the operator. Inside the plug-in failures
// travel as exceptions; the window and export boundaries turn them into
// message boxes or neutral results.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Removes every leading and trailing byte with a code of 32 or below.
std::string_view Trim(std::string_view s);

// Turns a-z into A-Z; every other byte stays as it is.
std::string UpperAscii(std::string_view s);

// Plain decimal, a minus sign for negatives, no grouping.
std::string IntToStr(std::int32_t value);

// A failure's message as the operator is shown it: "." is added when the last
// character sorts after ".".
std::string FailureText(std::string_view message);

} // namespace morvel
