// The string helpers the game's text handling leans on. Strings hold one byte per character.
#pragma once
#include <cstdint>
#include <string>

std::string Str(int64_t value);
// Leading blanks, an optional sign, then "%" binary, "$" hex or decimal digits; stops at the first
// character that does not fit. Saturates at the 32-bit range instead of wrapping.
int32_t ToInt(const std::string& text);
std::string Left(const std::string& s, int n);
std::string Chr(int code);
