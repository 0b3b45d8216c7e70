#include "screens/hiscore.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

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
#include "state/game.h"
#include "state/loop.h"
#include "state/sounds.h"
#include "state/trail.h"

namespace {

// Beyond any real table: a hostile line costs no more than this.
constexpr size_t kMaxScoreLine = 4096;

using Table = std::array<ScoreEntry, 10>;

// The table as it was last read or saved: what this program added since is what a save merges
// into the file, which another game may have changed meanwhile.
Table baseline;
// A table that exists but could not be read is never saved over.
std::string unreadable_target;

std::string UserScoreFile() {
    const std::string path = UserDataPath(kScoreFile);
    return path.empty() ? kScoreFile : path;
}

Table Current() {
    Table t;
    for (size_t i = 0; i < 10; ++i)
        t[i] = {hiscores.scores[i], hiscores.levels[i], hiscores.names[i]};
    return t;
}

void SetCurrent(const Table& t) {
    for (size_t i = 0; i < 10; ++i) {
        hiscores.scores[i] = t[i].score;
        hiscores.levels[i] = t[i].level;
        hiscores.names[i] = t[i].name;
    }
}

Table Defaults() {
    Table t;
    for (size_t i = 0; i < 10; ++i) t[i] = {45000 - 1350 * int(i), 20 - int(i), "MAX"};
    return t;
}

enum class Read { Ok, Missing, Failed };

Read ReadTable(const std::string& path, Table& t) {
    errno = 0;
    Stream file = ReadFile(path);
    if (!file) return errno == ENOENT || errno == ENOTDIR ? Read::Missing : Read::Failed;
    for (ScoreEntry& e : t) {
        e.score = ToInt(ReadLine(file, kMaxScoreLine));
        e.level = ToInt(ReadLine(file, kMaxScoreLine));
        e.name = ReadLine(file, kMaxScoreLine);
    }
    const bool failed = std::ferror(file->file);
    CloseFile(file);
    return failed ? Read::Failed : Read::Ok;
}

// The files a table may be found in.
std::vector<std::string> Sources() {
    if (hiscores.scores_beside_game_only) return {kScoreFile};
    std::vector<std::string> paths{kScoreFile, UserScoreFile()};
    if (hiscores.scores_in_user_folder) std::swap(paths[0], paths[1]);
    if (paths[0] == paths[1]) paths.pop_back();
    return paths;
}

struct Found {
    std::optional<Table> table;
    std::vector<std::pair<std::string, int>> unreadable; // path and errno
};

// The table to play with. Beside the game it is the newer of the game's own and the one in
// the user's folder (saves went there while the game's folder could not be written); an
// installed game reads the user's, else the one shipped with it.
Found FindTable() {
    Found found;
    int64_t newest = INT64_MIN;
    for (const std::string& path : Sources()) {
        Table t;
        const Read r = ReadTable(path, t);
        if (r == Read::Failed) found.unreadable.emplace_back(path, errno);
        if (r != Read::Ok) continue;
        const int64_t when = ModifiedTime(path).value_or(INT64_MIN);
        if (!found.table || (!hiscores.scores_in_user_folder && when > newest)) {
            found.table = t;
            newest = when;
        }
    }
    return found;
}

// Where a score enters a table (0..9), or 10: below every entry it does not beat.
size_t Rank(const Table& t, int score) {
    size_t p = 10;
    for (size_t i = 10; i-- > 0;)
        if (t[i].score < score) p = i;
    return p;
}

void Insert(Table& t, const ScoreEntry& e) {
    const size_t p = Rank(t, e.score);
    if (p == 10) return;
    std::move_backward(t.begin() + long(p), t.end() - 1, t.end());
    t[p] = e;
}

// The entries of the current table that the baseline does not hold, best first.
std::vector<ScoreEntry> Added() {
    std::array<bool, 10> matched{};
    std::vector<ScoreEntry> added;
    for (const ScoreEntry& e : Current()) {
        size_t k = 0;
        while (k < 10 && (matched[k] || !(baseline[k] == e))) ++k;
        if (k < 10)
            matched[k] = true;
        else
            added.push_back(e);
    }
    return added;
}

} // namespace

std::string ScoreFilePath() {
    if (hiscores.scores_beside_game_only) return kScoreFile;
    return !hiscores.scores_in_user_folder && CanWriteIn("scores") ? kScoreFile : UserScoreFile();
}

void LoadScores() {
    const Found found = FindTable();
    const std::string target = ScoreFilePath();
    unreadable_target.clear();
    for (const auto& [path, why] : found.unreadable) {
        std::fprintf(stderr, "koravel: cannot read the score table %s (%s); %s\n", path.c_str(),
                     std::strerror(why),
                     path == target ? "it will not be saved over" : "it is left alone");
        if (path == target) unreadable_target = path;
    }
    SetCurrent(found.table ? *found.table : Defaults());
    baseline = Current();
}

void ReplaceScores(const std::vector<ScoreEntry>& table) {
    for (size_t i = 0; i < 10 && i < table.size(); ++i) {
        hiscores.scores[i] = table[i].score;
        hiscores.levels[i] = table[i].level;
        hiscores.names[i] = table[i].name;
    }
    baseline = Current();
}

bool SaveScores() {
    if (hiscores.scores_frozen) return true;
    const std::string path = ScoreFilePath();
    auto fail = [&](const std::string& why) {
        std::fprintf(stderr, "koravel: could not save the score table %s: %s\n", path.c_str(),
                     why.c_str());
        return false;
    };
    if (!unreadable_target.empty() && unreadable_target == path)
        return fail("it could not be read at start, so it is left as it was");
    const std::string folder = std::filesystem::path(path).parent_path().string();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec); // a missing folder must not lose the table
    // Two games ending together take turns, and each adds its entries to what the other saved.
    const FolderLock lock(folder.empty() ? "." : folder);
    const Found now = FindTable();
    for (const auto& [p, why] : now.unreadable)
        if (p == path) return fail(std::strerror(why));
    Table merged = Current();
    if (now.table) {
        merged = *now.table;
        for (const ScoreEntry& e : Added()) Insert(merged, e);
    }
    Stream file = WriteFileAtomic(path);
    if (!file) return fail(std::strerror(errno));
    for (const ScoreEntry& e : merged) {
        WriteLine(file, Str(e.score));
        WriteLine(file, Str(e.level));
        WriteLine(file, e.name);
    }
    if (!CloseFile(file)) return fail(std::strerror(errno));
    SetCurrent(merged);
    baseline = merged;
    return true;
}

int ScorePosition(int newScore) {
    int p = 10;
    for (int i = 9; i >= 0; --i)
        if (hiscores.scores[size_t(i)] < newScore) p = i;
    return p;
}

void HighScore() {
    const int p = ScorePosition(game.score);
    if (p == 10) return;
    game.current_screen = "highscore";
    for (int i = 9; i >= p + 1; --i) {
        hiscores.scores[size_t(i)] = hiscores.scores[size_t(i - 1)];
        hiscores.names[size_t(i)] = hiscores.names[size_t(i - 1)];
        hiscores.levels[size_t(i)] = hiscores.levels[size_t(i - 1)];
    }
    std::string& name = hiscores.names[size_t(p)];
    name.clear();
    hiscores.scores[size_t(p)] = game.score;
    hiscores.levels[size_t(p)] = game.level;

    int t = 750;
    loop.letterselected = -9999;
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
        if (loop.letterselected >= 0 && trail.looping == 0) {
            PlaySound(sfx::snd_split1);
            const int k = loop.letterselected;
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
            loop.letterselected = -999;
        }
        Flip(-1);
        Delay(30);
    }
    Delay(200);
    EndChoosing();
    // A new entry survives a later crash or power cut.
    SaveScores();
}
