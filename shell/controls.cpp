#include "shell/controls.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "engine/files.h"
#include "engine/graphics.h"
#include "engine/input.h"
#include "engine/sound.h"
#include "format/recording.h"
#include "screens/font.h"
#include "state/comfort.h"

namespace {

constexpr int kKeyC = 67, kKeyM = 77, kKeyMinus = 189, kKeyPadMinus = 109, kKeyPlus = 187,
              kKeyPadPlus = 107;
constexpr uint64_t kShownFrames = 60; // the setting stays on the screen about two seconds

Settings current;
std::string savedAt;
bool calmForced = false;
uint64_t shownUntil = 0; // the presented frame the setting stops showing at
bool shownCalm = false;  // what is shown: the calm screen, else the sound

void Apply() {
    SetEffectsVolume(current.muted ? 0 : current.volume);
    comfort.calm = current.calm || calmForced;
}

// Near the top of the picture, under the scores, in the game's own letters.
void ShowSetting() {
    if (PresentedFrames() >= shownUntil) return;
    const std::string text = shownCalm       ? (comfort.calm ? "CALM SCREEN" : "CALM SCREEN OFF")
                             : current.muted ? "SOUND OFF"
                                             : "VOLUME " + std::to_string(current.volume);
    SetColor(255, 255, 255);
    DrawString(text, 400 - int(text.size()) * 6, 44, -1, 3); // below the scores
}

void OnKey(int key) {
    shownCalm = key == kKeyC;
    if (key == kKeyC)
        current.calm = !current.calm;
    else if (key == kKeyM)
        current.muted = !current.muted;
    else if (key == kKeyMinus || key == kKeyPadMinus)
        current.volume = std::max(0, current.volume - 1), current.muted = false;
    else if (key == kKeyPlus || key == kKeyPadPlus)
        current.volume = std::min(10, current.volume + 1), current.muted = false;
    else
        return;
    Apply();
    shownUntil = PresentedFrames() + kShownFrames;
    if (!savedAt.empty() && !SaveSettings(savedAt, current))
        std::fprintf(stderr, "koravel: could not save the settings %s: %s\n", savedAt.c_str(),
                     std::strerror(errno ? errno : EIO));
}

} // namespace

Settings LoadSettings(const std::string& path) {
    Settings s;
    const auto bytes = ReadWholeFile(path, 4096, FileKinds::RegularOnly);
    if (!bytes) return s;
    std::istringstream lines{std::string(AsText(*bytes))};
    int number = 0;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const auto space = line.find(' ');
        const std::string name = line.substr(0, space);
        int64_t value = 0;
        const bool number01 =
            space != std::string::npos && ParseWholeNumber(line.substr(space + 1), 0, 10, value);
        if (name == "volume" && number01)
            s.volume = int(value);
        else if ((name == "muted" || name == "calm") && number01 && value <= 1)
            (name == "muted" ? s.muted : s.calm) = value == 1;
        else
            std::fprintf(stderr,
                         "koravel: %s: line %d is not a setting ('volume 0-10', "
                         "'muted 0|1', 'calm 0|1'); left as it was\n",
                         path.c_str(), number);
    }
    return s;
}

bool SaveSettings(const std::string& path, const Settings& s) {
    return WriteWholeFileAtomic(path, "# Koravel's settings, kept as the game changes them\n"
                                      "volume " +
                                          std::to_string(s.volume) + "\nmuted " +
                                          (s.muted ? "1" : "0") + "\ncalm " + (s.calm ? "1" : "0") +
                                          "\n");
}

void TakeControls(const Settings& settings, const std::string& path, bool calmThisRun) {
    current = settings;
    savedAt = path;
    calmForced = calmThisRun;
    Apply();
    OnKeyPressed(OnKey);
    BeforePresent(ShowSetting);
}
