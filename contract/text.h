// Small text helpers shared by the scoring and oblast code and the programs'
// output. All of them work on raw bytes of the host's 8-bit code page; none
// depends on a locale.
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

// How OneLine writes a backslash.
enum class Backslash {
    Kept,    // as it is: a message naming C:\Logs reads as it was written
    Doubled, // as \\: a log's field, which then reads back byte for byte
};

// Text kept on one line of a program's output and in one of its TAB-separated
// fields: TAB as \t, CR as \r, LF as \n, every other control byte (below 0x20,
// and 0x7F) as \xHH with upper-case hex digits. The bytes from 0x80 up, the
// code page's letters, stay as they are.
std::string OneLine(std::string_view text, Backslash backslash = Backslash::Kept);

} // namespace morvel
