#include "screens/hiscore.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>

#include "engine/files.h"
#include "engine/graphics.h"
#include "engine/input.h"
#include "engine/text.h"
#include "entity/keys.h"
#include "player/capture.h"
#include "player/player.h"
#include "player/trail.h"
#include "screens/font.h"
#include "screens/hud.h"
#include "shell/game.h"
#include "shell/sounds.h"

namespace {

// Beyond any real table: a hostile line costs no more than this.
constexpr size_t kMaxScoreLine = 4096;

// Whether a file can really be made in the folder (permissions alone say nothing for root).
bool CanWriteIn(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::string probe = folder + "/.hiscores.probe";
    const int fd = ::open(probe.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

std::string UserScoreFile() {
    const std::string path = UserDataPath(kScoreFile);
    return path.empty() ? kScoreFile : path;
}

} // namespace

std::string ScoreFilePath() {
    return !scores_in_user_folder && CanWriteIn("scores") ? kScoreFile : UserScoreFile();
}

void LoadScores() {
    // Read only: a table the game may not write must still load.
    Stream file = ReadFile(ScoreFilePath());
    if (!file) file = ReadFile(kScoreFile); // the table shipped beside a read-only game
    if (!file) {
        for (int i = 0; i < 10; ++i) {
            scores[size_t(i)] = 45000 - 1350 * i;
            levels[size_t(i)] = 20 - i;
            names[size_t(i)] = "MAX";
        }
        return;
    }
    for (size_t i = 0; i < 10; ++i) {
        scores[i] = ToInt(ReadLine(file, kMaxScoreLine));
        levels[i] = ToInt(ReadLine(file, kMaxScoreLine));
        names[i] = ReadLine(file, kMaxScoreLine);
    }
    CloseFile(file);
}

bool SaveScores() {
    if (scores_frozen) return true;
    const std::string path = ScoreFilePath();
    std::error_code ec;
    // A missing folder must not lose the table.
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    Stream file = WriteFileAtomic(path);
    if (!file) return false;
    for (size_t i = 0; i < 10; ++i) {
        WriteLine(file, Str(scores[i]));
        WriteLine(file, Str(levels[i]));
        WriteLine(file, names[i]);
    }
    return CloseFile(file);
}

int ScorePosition(int newScore) {
    int p = 10;
    for (int i = 9; i >= 0; --i)
        if (scores[size_t(i)] < newScore) p = i;
    return p;
}

void HighScore() {
    const int p = ScorePosition(score);
    if (p == 10) return;
    current_screen = "highscore";
    for (int i = 9; i >= p + 1; --i) {
        scores[size_t(i)] = scores[size_t(i - 1)];
        names[size_t(i)] = names[size_t(i - 1)];
        levels[size_t(i)] = levels[size_t(i - 1)];
    }
    std::string& name = names[size_t(p)];
    name.clear();
    scores[size_t(p)] = score;
    levels[size_t(p)] = level;

    int t = 750;
    letterselected = -9999;
    BeginChoosing(30, 2);
    bool done = false;
    while (t > 0 && !VKeyDown(1) && !done) {
        Cls();
        SetColor(255, 255, 255);
        DrawString("PLEASE CIRCLE YOUR INITIALS", 250, 330, -1, 1);
        DrawString("TIME", 380, 410, -1, 1);
        DrawString(Str(t / 30 + 1), 390, 430, -1, 1);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 10; ++c)
                DrawDigit(65 + 10 * r + c, 210 + 40 * c, 290 + 90 * r, -1, 0);
        PointFollowsMouse();
        LaySegmentIfMoved();
        RenderScores(p, 0);
        UpdateSegs();
        RenderSegs();
        RenderPlayer();
        t--;
        if (letterselected >= 0 && looping == 0) {
            PlaySound(snd_split1);
            const int k = letterselected;
            std::string add;
            if (k < 26)
                add = Chr(65 + k);
            else if (k == 26)
                add = ".";
            else if (k == 27)
                add = " ";
            else if (k == 28 && !name.empty())
                name.pop_back();
            else if (k == 29)
                done = true;
            if (name.size() < 3) name += add;
            letterselected = -999;
        }
        Flip(-1);
        Delay(30);
    }
    Delay(200);
    EndChoosing();
    // A new entry survives a later crash or power cut.
    SaveScores();
}
