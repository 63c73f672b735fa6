#pragma once
// Splits an ADL line into fields in place: leading delimiters are skipped and a run of delimiters
// counts as one separator, so an empty field between two tabs does not exist. Each call to Next
// may use its own delimiter set and continues where the previous one stopped.

namespace adl {

class CLineFields {
public:
    explicit CLineFields(char* line) : m_next(line) {}
    // The next field, NUL-terminated in the line, or nullptr when none is left.
    char* Next(const char* delimiters = "\t");

private:
    char* m_next;
};

} // namespace adl
