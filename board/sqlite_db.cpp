// The board's database in one SQLite file. WAL with full syncs: an upload answered 202 survives
// a killed server. Two connections, one writing and one reading, so that reads never wait on a
// sync; each keeps its statements prepared.
#include <sqlite3.h>
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "board/database.h"
#include "board/store.h"

namespace {

class Statement {
  public:
    Statement(sqlite3* db, const std::string& sql) : db_(db) {
        if (sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr) !=
            SQLITE_OK)
            throw StoreFailure(sqlite3_errmsg(db));
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    SqlRows Run(const std::vector<SqlValue>& values) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
        for (size_t i = 0; i < values.size(); ++i) {
            const SqlValue& v = values[i];
            const int at = int(i + 1);
            if (v.number)
                sqlite3_bind_int64(stmt_, at, v.integer);
            else if (v.bytes)
                sqlite3_bind_blob(stmt_, at, v.value.data(), int(v.value.size()), SQLITE_STATIC);
            else
                sqlite3_bind_text(stmt_, at, v.value.data(), int(v.value.size()), SQLITE_STATIC);
        }
        SqlRows out;
        for (int rc; (rc = sqlite3_step(stmt_)) != SQLITE_DONE;) {
            if (rc != SQLITE_ROW) {
                const std::string why = sqlite3_errmsg(db_);
                sqlite3_reset(stmt_);
                throw StoreFailure(why);
            }
            auto& row = out.rows.emplace_back();
            for (int c = 0, n = sqlite3_column_count(stmt_); c < n; ++c) {
                const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt_, c));
                row.emplace_back(bytes ? bytes : "", size_t(sqlite3_column_bytes(stmt_, c)));
            }
        }
        out.changed = sqlite3_changes(db_);
        sqlite3_reset(stmt_); // the bound values are the caller's: let go of them now
        sqlite3_clear_bindings(stmt_);
        return out;
    }

  private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

sqlite3* Open(const std::string& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW,
                        nullptr) != SQLITE_OK) {
        const std::string why = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        throw std::runtime_error(why);
    }
    sqlite3_busy_timeout(db, 5000);
    return db;
}

void Exec(sqlite3* db, const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string why = error ? error : "unknown error";
        sqlite3_free(error);
        throw StoreFailure(why);
    }
}

// A connection and its statements, prepared the first time each is run.
struct Connection {
    sqlite3* db = nullptr;
    std::array<std::unique_ptr<Statement>, size_t(Query::SetSchemaVersion) + 1> prepared;
    std::mutex mutex;

    ~Connection() {
        for (auto& s : prepared) s.reset();
        sqlite3_close(db);
    }
    SqlRows Run(Query query, const std::vector<SqlValue>& values) {
        auto& s = prepared[size_t(query)];
        if (!s) s = std::make_unique<Statement>(db, QueryText(query, Dialect::Sqlite));
        return s->Run(values);
    }
};

class Transaction final : public SqlTransaction {
  public:
    Transaction(Connection& c, bool writes) : c_(c), lock_(c.mutex), open_(writes) {
        if (writes) ::Exec(c_.db, "BEGIN IMMEDIATE");
    }
    ~Transaction() override {
        if (open_) sqlite3_exec(c_.db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    SqlRows Run(Query query, const std::vector<SqlValue>& values) override {
        return c_.Run(query, values);
    }
    void Exec(const std::string& statements) override { ::Exec(c_.db, statements); }
    void Commit() override {
        if (!open_) return;
        ::Exec(c_.db, "COMMIT");
        open_ = false;
    }

  private:
    Connection& c_;
    std::lock_guard<std::mutex> lock_;
    bool open_;
};

class SqliteDatabase final : public Database {
  public:
    explicit SqliteDatabase(const std::string& path) : path_(path) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            throw std::runtime_error("it is a link; name the database file itself");
        writer_.db = Open(path);
        try {
            if (sqlite3_db_readonly(writer_.db, "main") == 1)
                throw std::runtime_error("it can only be read; the board must write to it");
            ::Exec(writer_.db, "PRAGMA journal_mode=WAL");
            ::Exec(writer_.db, "PRAGMA synchronous=FULL");
        } catch (const std::exception& e) { throw std::runtime_error(e.what()); }
        if (::stat(path.c_str(), &st) == 0) file_ = st;
        reader_.db = Open(path);
    }

    Dialect Kind() const override { return Dialect::Sqlite; }
    bool Sole() const override { return true; }

    std::unique_ptr<SqlTransaction> Begin(bool writes) override {
        if (!writes) return std::make_unique<Transaction>(reader_, false);
        CheckFile();
        return std::make_unique<Transaction>(writer_, true);
    }

  private:
    // A file deleted or replaced under a running board would take every later write with it,
    // unseen until a restart: each write first finds the file it opened still at its name.
    void CheckFile() const {
        struct stat st {};
        if (::stat(path_.c_str(), &st) != 0)
            throw StoreFailure("the database " + path_ + " is gone (" + std::strerror(errno) +
                               "); restart the board to keep games again");
        if (st.st_dev != file_.st_dev || st.st_ino != file_.st_ino)
            throw StoreFailure("the database " + path_ +
                               " was replaced by another file; restart the board");
    }

    std::string path_;
    struct stat file_ {};
    Connection writer_, reader_;
};

} // namespace

std::unique_ptr<Database> OpenSqliteDatabase(const std::string& path) {
    return std::make_unique<SqliteDatabase>(path);
}

bool BackupSqlite(const std::string& path, const std::string& to, std::string& why) {
    sqlite3* source = nullptr;
    sqlite3* copy = nullptr;
    const std::string partial = to + ".partial";
    auto fail = [&](const std::string& what) {
        why = what;
        sqlite3_close(copy);
        sqlite3_close(source);
        std::remove(partial.c_str());
        return false;
    };
    if (sqlite3_open_v2(path.c_str(), &source, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOFOLLOW,
                        nullptr) != SQLITE_OK)
        return fail(sqlite3_errmsg(source));
    std::remove(partial.c_str());
    if (sqlite3_open_v2(partial.c_str(), &copy, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK)
        return fail(sqlite3_errmsg(copy));
    sqlite3_busy_timeout(source, 5000);
    sqlite3_backup* backup = sqlite3_backup_init(copy, "main", source, "main");
    if (!backup) return fail(sqlite3_errmsg(copy));
    // In steps, so that a board writing meanwhile waits on none of it for long.
    int rc;
    while ((rc = sqlite3_backup_step(backup, 256)) == SQLITE_OK || rc == SQLITE_BUSY ||
           rc == SQLITE_LOCKED)
        if (rc != SQLITE_OK) sqlite3_sleep(20);
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) return fail(sqlite3_errstr(rc));
    std::string check;
    try {
        const SqlRows rows = Statement(copy, "PRAGMA integrity_check").Run({});
        if (!rows.empty()) check = rows.Text(0, 0);
    } catch (const StoreFailure& e) { check = e.what(); }
    if (check != "ok") return fail("the copy does not check: " + check);
    sqlite3_close(copy);
    copy = nullptr;
    sqlite3_close(source);
    source = nullptr;
    if (std::rename(partial.c_str(), to.c_str()) != 0) return fail(std::strerror(errno));
    return true;
}
