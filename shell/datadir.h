// Where the game's data is: beside the program (a build tree), or in ../share/koravel relative
// to it (an installed game, whose folder is never written).
#pragma once

#include <string>

// Makes the data folder the working folder; false when neither place holds gfx/.
bool EnterDataFolder();
// Enters the data folder, or, when neither place nor the working folder holds gfx/, says in one
// line (as `program`) where it looked: the game then runs without its pictures and sounds.
void EnterDataFolderOrSay(const char* program);
