// Choosing the starting level by circling one of five offered numbers.
#pragma once

inline int levelselected = -9999;

void PickLevel();
