// The player's comfort settings: how the screen is drawn, never what the game decides. They are
// no part of the World (not reset with a game, not in a recording's checks), and off by default,
// when every picture is as it always was.
#pragma once

struct Comfort {
    // Steady colours where the game flashes them: the reticle, the trail, the points that pop
    // up and the new entry in the table. No picture of the game flashes the whole screen.
    bool calm = false;
};
inline Comfort comfort;
