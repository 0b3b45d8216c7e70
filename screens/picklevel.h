// Choosing the starting level by circling one of five offered numbers.
#pragma once

void PickLevel();
