#include "platform/Text.h"

#include <cctype>

namespace platform {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

unsigned char Folded(char c) {
    return static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(c)));
}

// Compares the digit runs starting at *i in a and *j in b by value (any length, leading zeros
// ignored) and moves both past their runs.
int CompareNumbers(const std::string& a, size_t* i, const std::string& b, size_t* j) {
    size_t ai = *i, bj = *j;
    while (ai < a.size() && a[ai] == '0')
        ++ai;
    while (bj < b.size() && b[bj] == '0')
        ++bj;
    size_t aEnd = ai, bEnd = bj;
    while (aEnd < a.size() && IsDigit(a[aEnd]))
        ++aEnd;
    while (bEnd < b.size() && IsDigit(b[bEnd]))
        ++bEnd;
    *i = aEnd;
    *j = bEnd;
    // Without leading zeros, the longer run is the larger number.
    if (aEnd - ai != bEnd - bj)
        return aEnd - ai < bEnd - bj ? -1 : 1;
    const int c = a.compare(ai, aEnd - ai, b, bj, bEnd - bj);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// <0, 0, >0 in the natural order alone (no tie-break).
int CompareNatural(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            if (const int c = CompareNumbers(a, &i, b, &j); c != 0)
                return c;
            continue;
        }
        // A number against any other character compares as its first digit: the digits lie together,
        // so the order stays the same whichever digit that is.
        const unsigned char x = Folded(a[i]), y = Folded(b[j]);
        if (x != y)
            return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size())
        return 1;
    return j < b.size() ? -1 : 0;
}

} // namespace

bool NaturalLess(const std::string& a, const std::string& b) {
    const int c = CompareNatural(a, b);
    return c != 0 ? c < 0 : a < b;
}

} // namespace platform
