// Where the board keeps its games: a small interface, so that a bigger store (PostgreSQL) can
// take SQLite's place without the server noticing.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// One verified game: what its recording's replay showed, never what a client claimed.
struct BoardGame {
    int64_t id = 0;
    int score = 0;
    int level = 0;
    uint64_t frames = 0;   // the frame its game over came on
    std::string name;      // the initials entered in the game, or empty
    int64_t submitted = 0; // Unix seconds
};

class Store {
  public:
    virtual ~Store() = default;
    // Keeps a game with its recording; a recording already kept for that game gives the id
    // it was kept under, and `added` false.
    struct Added {
        int64_t id = 0;
        bool added = false;
    };
    virtual Added Add(const BoardGame& game, const std::string& recording,
                      const std::string& recordingDigest) = 0;
    // The best games, highest score first (the earlier game first on a tie), submitted at or
    // after `since` (Unix seconds).
    virtual std::vector<BoardGame> Top(int limit, int64_t since) = 0;
    virtual std::optional<BoardGame> Game(int64_t id) = 0;
    virtual std::optional<std::string> Recording(int64_t id) = 0;
};

// SQLite in WAL mode, one file; throws std::runtime_error with SQLite's reason when the file
// cannot be opened or is not a board.
std::unique_ptr<Store> OpenSqliteStore(const std::string& path);
