#include "engine/text.h"

#include <algorithm>
#include <cctype>
#include <climits>

std::string Str(int64_t value) { return std::to_string(value); }

int32_t ToInt(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && text[i] == '%')
        base = 2, ++i;
    else if (i < text.size() && text[i] == '$')
        base = 16, ++i;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        const int c = std::tolower(static_cast<unsigned char>(text[i]));
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : 99;
        if (digit >= base) break;
        value = std::min<int64_t>(value * base + digit, int64_t(INT32_MAX) + 1);
    }
    if (negative) value = -value;
    return int32_t(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

std::string Left(const std::string& s, int n) {
    return n <= 0 ? std::string() : s.substr(0, size_t(n));
}

std::string Chr(int code) { return std::string(1, char(code)); }
