#include "Table.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace cli {
namespace {

struct Range {
    uint32_t first, last;
};

// Characters that take no column of their own: combining marks, zero-width spaces and joiners,
// variation selectors.
constexpr Range kZeroWidth[] = {{0x0300, 0x036F}, {0x0483, 0x0489},  {0x0591, 0x05BD}, {0x0610, 0x061A},
                                {0x064B, 0x065F}, {0x1AB0, 0x1AFF},  {0x1DC0, 0x1DFF}, {0x200B, 0x200F},
                                {0x20D0, 0x20FF}, {0x302A, 0x302F},  {0x3099, 0x309A}, {0xFE00, 0xFE0F},
                                {0xFE20, 0xFE2F}, {0xE0100, 0xE01EF}};

// Characters a terminal shows two columns wide: East Asian wide and full-width forms, emoji.
constexpr Range kWide[] = {{0x1100, 0x115F},   {0x2E80, 0x303E},   {0x3041, 0x33FF},  {0x3400, 0x4DBF},
                           {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xAC00, 0xD7A3},  {0xF900, 0xFAFF},
                           {0xFE30, 0xFE4F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},  {0x1F300, 0x1F64F},
                           {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD}};

template <size_t N> bool In(const Range (&ranges)[N], uint32_t c) {
    return std::any_of(std::begin(ranges), std::end(ranges),
                       [c](const Range& r) { return c >= r.first && c <= r.last; });
}

// The code point that starts at text[at] and its length in bytes; length 0 when the bytes there are
// not a whole UTF-8 sequence.
uint32_t Decode(const std::string& text, size_t at, size_t* length) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t lead = byte(at);
    size_t count = 0;
    uint32_t c = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        count = 2;
        c = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        count = 3;
        c = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        count = 4;
        c = lead & 0x07u;
    }
    *length = 0;
    if (count == 0 || at + count > text.size())
        return 0;
    for (size_t i = 1; i < count; ++i) {
        if ((byte(at + i) & 0xC0u) != 0x80u)
            return 0;
        c = (c << 6) | (byte(at + i) & 0x3Fu);
    }
    *length = count;
    return c;
}

} // namespace

size_t DisplayWidth(const std::string& text) {
    size_t width = 0;
    for (size_t at = 0; at < text.size();) {
        if (static_cast<uint8_t>(text[at]) < 0x80) {
            ++width;
            ++at;
            continue;
        }
        size_t length = 0;
        const uint32_t c = Decode(text, at, &length);
        if (length == 0) {
            ++width;
            ++at;
            continue;
        }
        width += In(kZeroWidth, c) ? 0 : In(kWide, c) ? 2 : 1;
        at += length;
    }
    return width;
}

std::string Printable(const std::string& text) {
    std::string shown;
    for (size_t at = 0; at < text.size();) {
        const uint8_t byte = static_cast<uint8_t>(text[at]);
        size_t length = 0;
        const uint32_t c = byte < 0x80 ? byte : Decode(text, at, &length);
        length = std::max<size_t>(length, 1);
        // C0 and C1 controls, written as UTF-8 or as lone bytes.
        const bool control = c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) ||
                             (length == 1 && byte >= 0x80 && byte <= 0x9F);
        shown += control ? std::string("?") : text.substr(at, length);
        at += length;
    }
    return shown;
}

void PrintTable(const std::vector<std::vector<std::string>>& rows, const std::vector<size_t>& minWidths) {
    std::vector<size_t> widths = minWidths;
    for (const auto& row : rows) {
        for (size_t i = 0; i + 1 < row.size(); ++i) {
            if (i >= widths.size())
                widths.push_back(0);
            widths[i] = std::max(widths[i], DisplayWidth(row[i]));
        }
    }
    for (const auto& row : rows) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size())
                line += std::string(widths[i] - DisplayWidth(row[i]) + 1, ' ');
        }
        std::printf("%s\n", line.c_str());
    }
}

} // namespace cli
