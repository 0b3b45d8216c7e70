// Legacy keyboard codes (scan-code numbering, 1 = Escape) translated to the engine's key codes.
#pragma once
#include <array>
#include <cstddef>

constexpr int kLegacyKeys = 238;
namespace keys_detail {
constexpr std::array<int, kLegacyKeys> BuildTable() {
    std::array<int, kLegacyKeys> t{};
    t[1] = 27;
    for (int i = 0; i < 9; ++i) t[2 + i] = 49 + i; // digits 1..9
    t[11] = 48;
    t[12] = 189, t[13] = 187, t[14] = 8, t[15] = 9;
    const int row1[] = {81, 87, 69, 82, 84, 89, 85, 73, 79, 80}; // Q..P
    for (int i = 0; i < 10; ++i) t[16 + i] = row1[i];
    t[26] = 219, t[27] = 221, t[28] = 13, t[29] = 162;
    const int row2[] = {65, 83, 68, 70, 71, 72, 74, 75, 76}; // A..L
    for (int i = 0; i < 9; ++i) t[30 + i] = row2[i];
    t[39] = 186, t[40] = 222, t[41] = 192, t[42] = 160, t[43] = 226;
    const int row3[] = {90, 88, 67, 86, 66, 78, 77}; // Z..M
    for (int i = 0; i < 7; ++i) t[44 + i] = row3[i];
    t[51] = 188, t[52] = 190, t[53] = 191, t[54] = 161, t[55] = 106, t[57] = 32;
    for (int i = 0; i < 10; ++i) t[59 + i] = 112 + i; // F1..F10
    t[71] = 103, t[72] = 104, t[73] = 105, t[74] = 109;
    t[75] = 100, t[76] = 101, t[77] = 102, t[78] = 107;
    t[79] = 97, t[80] = 98, t[81] = 99, t[82] = 96, t[83] = 110;
    t[85] = 122, t[86] = 123;
    t[141] = 187, t[156] = 13, t[157] = 163;
    t[181] = 111, t[183] = 44;
    t[199] = 36, t[200] = 38, t[201] = 33;
    t[203] = 37, t[205] = 39;
    t[207] = 35, t[208] = 40, t[209] = 34, t[210] = 45, t[211] = 46;
    return t;
}
} // namespace keys_detail

// Legacy code to engine key code; 0 where the legacy code names no key.
inline constexpr std::array<int, kLegacyKeys> VKEY = keys_detail::BuildTable();

int VKeyDown(int code);
int VKeyHit(int code);
