#include "screens/hiscore.h"

#include <algorithm>
#include <cerrno>
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
#include "player/capture.h"
#include "player/player.h"
#include "player/trail.h"
#include "screens/font.h"
#include "screens/hud.h"
#include "state/game.h"
#include "state/loop.h"
#include "state/sounds.h"
#include "state/trail.h"
#include "state/world.h"

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
    World& world = CurrentWorld();
    Table t;
    for (size_t i = 0; i < 10; ++i)
        t[i] = {world.hiscores.scores[i], world.hiscores.levels[i], world.hiscores.names[i]};
    return t;
}

void SetCurrent(const Table& t) {
    World& world = CurrentWorld();
    for (size_t i = 0; i < 10; ++i) {
        world.hiscores.scores[i] = t[i].score;
        world.hiscores.levels[i] = t[i].level;
        world.hiscores.names[i] = t[i].name;
    }
}

Table Defaults() {
    Table t;
    for (size_t i = 0; i < 10; ++i) t[i] = {45000 - 1350 * int(i), 20 - int(i), "MAX"};
    return t;
}

enum class Read { Ok, Missing, Failed };

// A link planted at the table's name is never read through: what it points at could be any
// file of the player's, which the next save (and every recording) would copy out.
Read ReadTable(const std::string& path, Table& t) {
    errno = 0;
    Stream file = ReadOwnFile(path);
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

// Names the initials entry could not have made (a hand-edited table) are made enterable, so
// every recording of a game holds a table both programs accept. Returns how many changed.
int MakeNamesEnterable(Table& t) {
    int changed = 0;
    for (ScoreEntry& e : t) {
        if (EnterableName(e.name)) continue;
        char name[3];
        size_t length = 0;
        for (const unsigned char c : e.name) {
            const char up = c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : char(c);
            if (length < 3 && ((up >= 'A' && up <= 'Z') || up == '.' || up == ' '))
                name[length++] = up;
        }
        e.name.assign(name, length);
        ++changed;
    }
    return changed;
}

// The files a table may be found in, the one saved to first.
std::vector<std::string> Sources() {
    if (scorefiles.scores_beside_game_only) return {kScoreFile};
    std::vector<std::string> paths{kScoreFile, UserScoreFile()};
    if (scorefiles.scores_in_user_folder) std::swap(paths[0], paths[1]);
    if (paths[0] == paths[1]) paths.pop_back();
    return paths;
}

// The entries of t that base does not hold, in t's order; each entry of base matches once.
std::vector<ScoreEntry> Unmatched(const Table& base, const Table& t) {
    std::array<bool, 10> matched{};
    std::vector<ScoreEntry> rest;
    for (const ScoreEntry& e : t) {
        size_t k = 0;
        while (k < 10 && (matched[k] || !(base[k] == e))) ++k;
        if (k < 10)
            matched[k] = true;
        else
            rest.push_back(e);
    }
    return rest;
}

// The ten best of both, each entry once: an entry both tables hold (the same score, level and
// name) counts once, as many times as the table holding it more often has it. Ties keep the
// first table's entries above the second's, as a new entry goes below an equal score.
Table Merged(const Table& first, const Table& second) {
    std::vector<ScoreEntry> all(first.begin(), first.end());
    for (const ScoreEntry& e : Unmatched(first, second)) all.push_back(e);
    std::stable_sort(all.begin(), all.end(),
                     [](const ScoreEntry& a, const ScoreEntry& b) { return a.score > b.score; });
    Table t;
    std::copy_n(all.begin(), 10, t.begin());
    return t;
}

std::string FolderOfTable(const std::string& path) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    return folder.empty() ? std::string(".") : folder.string();
}

struct Problem {
    std::string path;
    int error; // errno: ELOOP for a link
};

struct Found {
    std::optional<Table> table;
    std::vector<Problem> unreadable; // exist but could not be read: never saved over
    std::vector<Problem> links;      // not read, and replaced by the next save
    std::vector<std::pair<std::string, int>> renamed; // path and how many names were cleaned
};

// The table to play with: every table there is, merged. Saves went to the user's folder while
// the game's own could not be written, and neither may lose the other's entries.
Found FindTable() {
    Found found;
    for (const std::string& path : Sources()) {
        Table t;
        const Read r = ReadTable(path, t);
        if (r == Read::Failed)
            (errno == ELOOP ? found.links : found.unreadable).push_back({path, errno});
        if (r != Read::Ok) continue;
        if (const int n = MakeNamesEnterable(t)) found.renamed.emplace_back(path, n);
        found.table = found.table ? Merged(*found.table, t) : t;
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
std::vector<ScoreEntry> Added() { return Unmatched(baseline, Current()); }

} // namespace

std::string ScoreFilePath() {
    if (scorefiles.scores_beside_game_only) return kScoreFile;
    return !scorefiles.scores_in_user_folder && CanWriteIn("scores") ? kScoreFile : UserScoreFile();
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
    for (const auto& link : found.links)
        std::fprintf(stderr,
                     "koravel: the score table %s is a link, which the game does not read; a "
                     "save replaces the link with the game's own table\n",
                     link.path.c_str());
    for (const auto& [path, count] : found.renamed)
        std::fprintf(stderr,
                     "koravel: the score table %s holds %d name%s the game cannot enter; shown "
                     "and saved with only the letters, dots and spaces of the first three\n",
                     path.c_str(), count, count == 1 ? "" : "s");
    SetCurrent(found.table ? *found.table : Defaults());
    baseline = Current();
    // What killed saves left behind (the table's readers and writers only name these).
    if (!scorefiles.scores_frozen)
        for (const std::string& path : Sources())
            RemoveStaleTemporaries(FolderOfTable(path), {"hiscores.dat", "probe"});
}

void ReplaceScores(const std::vector<ScoreEntry>& table) {
    World& world = CurrentWorld();
    for (size_t i = 0; i < 10 && i < table.size(); ++i) {
        world.hiscores.scores[i] = table[i].score;
        world.hiscores.levels[i] = table[i].level;
        world.hiscores.names[i] = table[i].name;
    }
    baseline = Current();
}

namespace {

// Saves the table merged with the file as it is now; empty when done, else why not.
std::string SaveTo(const std::string& path) {
    if (!unreadable_target.empty() && unreadable_target == path)
        return "it could not be read at start, so it is left as it was";
    const std::string folder = FolderOfTable(path);
    if (!MakeFolders(folder)) return std::strerror(errno); // a missing folder must not lose it
    // Two games ending together take turns, and each adds its entries to what the other saved.
    const FolderLock lock(folder);
    const Found now = FindTable();
    for (const auto& [p, why] : now.unreadable)
        if (p == path) return std::strerror(why);
    Table merged = Current();
    if (now.table) {
        merged = *now.table;
        for (const ScoreEntry& e : Added()) Insert(merged, e);
    }
    Stream file = WriteFileAtomic(path);
    if (!file) return std::strerror(errno);
    for (const ScoreEntry& e : merged) {
        WriteLine(file, Str(e.score));
        WriteLine(file, Str(e.level));
        WriteLine(file, e.name);
    }
    if (!CloseFile(file)) return std::strerror(errno);
    SetCurrent(merged);
    baseline = merged;
    return {};
}

} // namespace

bool SaveScores() {
    if (scorefiles.scores_frozen) return true;
    const std::string path = ScoreFilePath();
    const std::string why = SaveTo(path);
    if (why.empty()) return true;
    // The folder beside the game could be written at start, yet this save failed (a full disk,
    // a table that cannot be read): the user's folder keeps the new entries, and the next start
    // merges both tables.
    const std::string fallback = UserScoreFile();
    if (path == kScoreFile && !scorefiles.scores_beside_game_only && fallback != path) {
        const std::string fallbackWhy = SaveTo(fallback);
        if (fallbackWhy.empty()) {
            std::fprintf(stderr,
                         "koravel: could not save the score table %s (%s); saved it in %s\n",
                         path.c_str(), why.c_str(), fallback.c_str());
            return true;
        }
        std::fprintf(stderr, "koravel: could not save the score table %s (%s) nor %s (%s)\n",
                     path.c_str(), why.c_str(), fallback.c_str(), fallbackWhy.c_str());
        return false;
    }
    std::fprintf(stderr, "koravel: could not save the score table %s: %s\n", path.c_str(),
                 why.c_str());
    return false;
}

int ScorePosition(int newScore) {
    int p = 10;
    for (int i = 9; i >= 0; --i)
        if (CurrentWorld().hiscores.scores[size_t(i)] < newScore) p = i;
    return p;
}

void HighScore() {
    World& world = CurrentWorld();
    const int p = ScorePosition(world.game.score);
    if (p == 10) return;
    world.game.current_screen = "highscore";
    for (int i = 9; i >= p + 1; --i) {
        world.hiscores.scores[size_t(i)] = world.hiscores.scores[size_t(i - 1)];
        world.hiscores.names[size_t(i)] = world.hiscores.names[size_t(i - 1)];
        world.hiscores.levels[size_t(i)] = world.hiscores.levels[size_t(i - 1)];
    }
    std::string& name = world.hiscores.names[size_t(p)];
    name.clear();
    world.hiscores.scores[size_t(p)] = world.game.score;
    world.hiscores.levels[size_t(p)] = world.game.level;

    int t = 750;
    world.loop.letterselected = -9999;
    BeginChoosing(30, kLetterLoop);
    bool done = false;
    while (t > 0 && !KeyDown(kKeyEscape) && !done) {
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
        if (world.loop.letterselected >= 0 && world.trail.looping == 0) {
            PlaySound(world.sfx.snd_split1);
            const int k = world.loop.letterselected;
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
            world.loop.letterselected = -999;
        }
        Flip(-1);
        Delay(30);
    }
    Delay(200);
    EndChoosing();
    // A new entry survives a later crash or power cut.
    SaveScores();
}
