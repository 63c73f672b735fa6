#pragma once
// printf-style formatting into std::string, for the program's message texts ("file : %s").

#include <string>

namespace platform {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Case-insensitive comparison of single-byte text, as the card's file system compares names.
int CompareNoCase(const std::string& a, const std::string& b);

} // namespace platform
