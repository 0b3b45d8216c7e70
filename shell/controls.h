// The player's controls of the program rather than the game: the effects' volume in tenths and
// mute (M, minus, plus), shown for a moment over the picture, and the calm screen (C); kept in the
// user's settings file between runs ($XDG_CONFIG_HOME/koravel/settings).
#pragma once
#include <string>

struct Settings {
    int volume = 10; // tenths
    bool muted = false;
    bool calm = false;
};

// The settings kept at `path`: the defaults where it is missing; a line it cannot read is said
// in one line and left at its default.
Settings LoadSettings(const std::string& path);
// Written whole under a fresh name and renamed into place, as the score table is.
bool SaveSettings(const std::string& path, const Settings& settings);
// From now on the settings apply and the keys change them, saved to `path` after each change
// unless it is empty (koravel-sim, a watched recording).
// C turns the calm screen on and off; `calmThisRun` (--calm) keeps it on for this run whatever
// is saved.
void TakeControls(const Settings& settings, const std::string& path, bool calmThisRun = false);
