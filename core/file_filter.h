#pragma once
// File dialog filters as the documents write them, "name|pattern|...||",
// and the form the system's dialogs take.

#include <string>
#include <string_view>

namespace quorvin::app {

// Every "|" that is a character of its own (not the second byte of a
// double-byte character) becomes a NUL, so "a|*.a|b|*.b||" gives the pairs a, *.a and
// b, *.b ended by two NULs. A filter that does not end in "||" is ended as
// if it did; a NUL inside the text ends the filter there.
std::string DialogFilter(std::string_view pipes);

}  // namespace quorvin::app
