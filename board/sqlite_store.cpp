// The board's games in one SQLite file. Every statement is prepared: nothing from a request
// ever becomes SQL text. WAL with full syncs: a game answered 201 survives a killed server.
#include <sqlite3.h>

#include <mutex>
#include <stdexcept>

#include "board/store.h"

namespace {

class Statement {
  public:
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db));
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* operator*() const { return stmt_; }

  private:
    sqlite3_stmt* stmt_ = nullptr;
};

BoardGame GameFrom(sqlite3_stmt* s) {
    BoardGame g;
    g.id = sqlite3_column_int64(s, 0);
    g.score = sqlite3_column_int(s, 1);
    g.level = sqlite3_column_int(s, 2);
    g.frames = uint64_t(sqlite3_column_int64(s, 3));
    const auto* name = sqlite3_column_text(s, 4);
    g.name = name ? reinterpret_cast<const char*>(name) : "";
    g.submitted = sqlite3_column_int64(s, 5);
    return g;
}

constexpr const char* kColumns = "id, score, level, frames, name, submitted";

class SqliteStore final : public Store {
  public:
    explicit SqliteStore(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) != SQLITE_OK) {
            const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
            sqlite3_close(db_);
            throw std::runtime_error(why);
        }
        sqlite3_busy_timeout(db_, 5000);
        Exec("PRAGMA journal_mode=WAL");
        Exec("PRAGMA synchronous=FULL");
        Exec("CREATE TABLE IF NOT EXISTS games ("
             " id INTEGER PRIMARY KEY,"
             " score INTEGER NOT NULL, level INTEGER NOT NULL, frames INTEGER NOT NULL,"
             " name TEXT NOT NULL, submitted INTEGER NOT NULL,"
             " recording BLOB NOT NULL, digest TEXT NOT NULL UNIQUE)");
        Exec("CREATE INDEX IF NOT EXISTS games_by_score ON games (score DESC, id)");
    }
    ~SqliteStore() override { sqlite3_close(db_); }

    Added Add(const BoardGame& g, const std::string& recording,
              const std::string& digest) override {
        std::lock_guard lock(mutex_);
        Statement find(db_, "SELECT id FROM games WHERE digest = ?");
        sqlite3_bind_text(*find, 1, digest.data(), int(digest.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(*find) == SQLITE_ROW) return {sqlite3_column_int64(*find, 0), false};
        Statement add(db_, "INSERT INTO games (score, level, frames, name, submitted, recording,"
                           " digest) VALUES (?, ?, ?, ?, ?, ?, ?)");
        sqlite3_bind_int(*add, 1, g.score);
        sqlite3_bind_int(*add, 2, g.level);
        sqlite3_bind_int64(*add, 3, int64_t(g.frames));
        sqlite3_bind_text(*add, 4, g.name.data(), int(g.name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int64(*add, 5, g.submitted);
        sqlite3_bind_blob(*add, 6, recording.data(), int(recording.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(*add, 7, digest.data(), int(digest.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(*add) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db_));
        return {sqlite3_last_insert_rowid(db_), true};
    }

    std::vector<BoardGame> Top(int limit, int64_t since) override {
        std::lock_guard lock(mutex_);
        Statement top(db_, (std::string("SELECT ") + kColumns +
                            " FROM games WHERE submitted >= ? ORDER BY score DESC, id LIMIT ?")
                               .c_str());
        sqlite3_bind_int64(*top, 1, since);
        sqlite3_bind_int(*top, 2, limit);
        std::vector<BoardGame> games;
        while (sqlite3_step(*top) == SQLITE_ROW) games.push_back(GameFrom(*top));
        return games;
    }

    std::optional<BoardGame> Game(int64_t id) override {
        std::lock_guard lock(mutex_);
        Statement one(db_,
                      (std::string("SELECT ") + kColumns + " FROM games WHERE id = ?").c_str());
        sqlite3_bind_int64(*one, 1, id);
        if (sqlite3_step(*one) != SQLITE_ROW) return std::nullopt;
        return GameFrom(*one);
    }

    std::optional<std::string> Recording(int64_t id) override {
        std::lock_guard lock(mutex_);
        Statement one(db_, "SELECT recording FROM games WHERE id = ?");
        sqlite3_bind_int64(*one, 1, id);
        if (sqlite3_step(*one) != SQLITE_ROW) return std::nullopt;
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(*one, 0));
        return std::string(bytes ? bytes : "", size_t(sqlite3_column_bytes(*one, 0)));
    }

  private:
    void Exec(const char* sql) {
        char* error = nullptr;
        if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string why = error ? error : "unknown error";
            sqlite3_free(error);
            throw std::runtime_error(why);
        }
    }

    sqlite3* db_ = nullptr;
    std::mutex mutex_;
};

} // namespace

std::unique_ptr<Store> OpenSqliteStore(const std::string& path) {
    return std::make_unique<SqliteStore>(path);
}
