// What the board's store needs of a database: transactions that run the named statements of
// board/statements.h with bound values. Two drivers: SQLite (sqlite_db.cpp) and PostgreSQL
// (pg_db.cpp). A failure throws StoreFailure (board/store.h) with the reason in one line.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "board/statements.h"

// A value bound to a statement: a number, a text, or bytes (a recording).
struct SqlValue {
    std::string value; // a number's digits too, which PostgreSQL is sent
    int64_t integer = 0;
    bool number = false, bytes = false;
    SqlValue(int64_t v) : value(std::to_string(v)), integer(v), number(true) {}
    SqlValue(int v) : SqlValue(int64_t(v)) {}
    SqlValue(uint64_t v) : SqlValue(int64_t(v)) {}
    SqlValue(bool v) : SqlValue(int64_t(v)) {}
    SqlValue(std::string v) : value(std::move(v)) {}
    SqlValue(const char* v) : value(v) {}
};
inline SqlValue SqlBytes(const std::string& v) {
    SqlValue b(v);
    b.bytes = true;
    return b;
}

// A statement's answer: its rows, every value as its text (bytes as they are, a null as
// empty), and how many rows it changed.
struct SqlRows {
    std::vector<std::vector<std::string>> rows;
    int64_t changed = 0;

    bool empty() const { return rows.empty(); }
    size_t size() const { return rows.size(); }
    const std::string& Text(size_t row, size_t col) const { return rows[row][col]; }
    int64_t Int(size_t row, size_t col) const;
};

// One transaction on one connection, rolled back unless committed. A reading one may see each
// statement's own moment.
class SqlTransaction {
  public:
    virtual ~SqlTransaction() = default;
    virtual SqlRows Run(Query query, const std::vector<SqlValue>& values = {}) = 0;
    // Statements with nothing bound (the schema's), ";"-separated.
    virtual void Exec(const std::string& statements) = 0;
    virtual void Commit() = 0;
};

class Database {
  public:
    virtual ~Database() = default;
    virtual Dialect Kind() const = 0;
    // A transaction that writes waits for the others that write (SQLite) or for the rows it
    // locks (PostgreSQL).
    virtual std::unique_ptr<SqlTransaction> Begin(bool writes) = 0;
    // The only board on its database: what a killed one left half-done is its own to take
    // back at start-up. A shared database waits for the leases instead.
    virtual bool Sole() const = 0;
};

// Both refuse what cannot be a board's database with std::runtime_error and why in one line.
std::unique_ptr<Database> OpenSqliteDatabase(const std::string& path);
std::unique_ptr<Database> OpenPostgresDatabase(const std::string& uri);
