// Where the game's data is: beside the program (a build tree), or in ../share/koravel relative
// to it (an installed game, whose folder is never written).
#pragma once

// Makes the data folder the working folder; false when neither place holds gfx/.
bool EnterDataFolder();
