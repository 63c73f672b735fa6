#pragma once
// printf-style formatting into std::string, for the program's message texts ("file : %s"), and the
// comparisons names are sorted with.

#include <string>

namespace platform {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Case-insensitive comparison of single-byte text, as the card's file system compares names.
int CompareNoCase(const std::string& a, const std::string& b);
// The order people expect of file names: case ignored, runs of digits by their value ("tr2.wav"
// before "tr10.wav"). Names that compare equal so ("tr01" and "tr1", "A" and "a") are ordered by
// their bytes, so that no two different names tie.
bool NaturalLess(const std::string& a, const std::string& b);

} // namespace platform
