// The board's database in PostgreSQL, shared by any number of front ends and verifier workers:
// a small pool of connections, each preparing a statement the first time it runs it.
#include <libpq-fe.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include "board/database.h"
#include "board/store.h"

namespace {

constexpr Oid kByteaOid = 17;

// The first line of a libpq message: they end in a newline and sometimes say more below.
std::string FirstLine(const char* message) {
    std::string line = message ? message : "";
    line = line.substr(0, line.find('\n'));
    return line.empty() ? "the server gave no reason" : line;
}

PGconn* Connect(const std::string& uri) {
    // Our defaults first: what the URI says wins.
    const char* keys[] = {"connect_timeout", "application_name", "options", "dbname", nullptr};
    const char* values[] = {"10", "koravel-board",
                            "-c statement_timeout=30000 -c lock_timeout=10000", uri.c_str(),
                            nullptr};
    PGconn* conn = PQconnectdbParams(keys, values, 1);
    // The server's notices ("already exists, skipping") are not the operator's business.
    if (conn)
        PQsetNoticeProcessor(
            conn, [](void*, const char*) {}, nullptr);
    return conn;
}

struct Result {
    PGresult* r;
    explicit Result(PGresult* result) : r(result) {}
    ~Result() { PQclear(r); }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
};

// One server connection and which statements it has prepared.
struct Connection {
    PGconn* conn = nullptr;
    std::array<bool, size_t(Query::SetSchemaVersion) + 1> prepared{};
    ~Connection() { PQfinish(conn); }

    void Check(const Result& r) const {
        const ExecStatusType status = PQresultStatus(r.r);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            throw StoreFailure(FirstLine(PQerrorMessage(conn)));
    }
    void Exec(const std::string& sql) { Check(Result(PQexec(conn, sql.c_str()))); }

    SqlRows Run(Query query, const std::vector<SqlValue>& values) {
        if (!prepared[size_t(query)]) {
            Check(Result(PQprepare(conn, QueryName(query),
                                   QueryText(query, Dialect::Postgres).c_str(), 0, nullptr)));
            prepared[size_t(query)] = true;
        }
        std::vector<const char*> texts;
        std::vector<int> lengths, formats;
        for (const SqlValue& v : values) {
            texts.push_back(v.value.data());
            lengths.push_back(int(v.value.size()));
            formats.push_back(v.bytes ? 1 : 0);
        }
        const Result r(PQexecPrepared(conn, QueryName(query), int(values.size()), texts.data(),
                                      lengths.data(), formats.data(), 0));
        Check(r);
        SqlRows out;
        out.changed = std::strtoll(PQcmdTuples(r.r), nullptr, 10);
        for (int row = 0, rows = PQntuples(r.r); row < rows; ++row) {
            auto& cells = out.rows.emplace_back();
            for (int c = 0, n = PQnfields(r.r); c < n; ++c) {
                const char* text = PQgetvalue(r.r, row, c);
                if (PQftype(r.r, c) != kByteaOid) {
                    cells.emplace_back(text, size_t(PQgetlength(r.r, row, c)));
                    continue;
                }
                size_t length = 0; // bytes come as text in hex
                unsigned char* raw =
                    PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &length);
                if (!raw) throw StoreFailure("out of memory reading a recording");
                cells.emplace_back(reinterpret_cast<char*>(raw), length);
                PQfreemem(raw);
            }
        }
        return out;
    }
};

class PostgresDatabase;

class Transaction final : public SqlTransaction {
  public:
    Transaction(PostgresDatabase& db, std::unique_ptr<Connection> c, bool writes);
    ~Transaction() override;
    SqlRows Run(Query query, const std::vector<SqlValue>& values) override {
        return c_->Run(query, values);
    }
    void Exec(const std::string& statements) override { c_->Exec(statements); }
    void Commit() override {
        if (!open_) return;
        c_->Exec("COMMIT");
        open_ = false;
    }

  private:
    PostgresDatabase& db_;
    std::unique_ptr<Connection> c_;
    bool open_;
};

class PostgresDatabase final : public Database {
  public:
    explicit PostgresDatabase(const std::string& uri) : uri_(uri) { Release(Open()); }

    Dialect Kind() const override { return Dialect::Postgres; }
    bool Sole() const override { return false; }

    std::unique_ptr<SqlTransaction> Begin(bool writes) override {
        return std::make_unique<Transaction>(*this, Acquire(), writes);
    }

    // A connection the server dropped, or left inside a transaction, is closed; the next
    // call opens a new one.
    void Release(std::unique_ptr<Connection> c) {
        std::lock_guard lock(mutex_);
        if (c && PQstatus(c->conn) == CONNECTION_OK && PQtransactionStatus(c->conn) == PQTRANS_IDLE)
            idle_.push_back(std::move(c));
        else
            --open_;
        freed_.notify_one();
    }

  private:
    static constexpr size_t kMostConnections = 8;

    std::unique_ptr<Connection> Open() {
        auto c = std::make_unique<Connection>();
        c->conn = Connect(uri_);
        if (!c->conn || PQstatus(c->conn) != CONNECTION_OK)
            throw std::runtime_error(c->conn ? FirstLine(PQerrorMessage(c->conn))
                                             : "out of memory");
        return c;
    }

    std::unique_ptr<Connection> Acquire() {
        std::unique_lock lock(mutex_);
        if (!freed_.wait_for(lock, std::chrono::seconds(30),
                             [this] { return !idle_.empty() || open_ < kMostConnections; }))
            throw StoreFailure("every connection to the database is busy");
        if (!idle_.empty()) {
            auto c = std::move(idle_.back());
            idle_.pop_back();
            return c;
        }
        ++open_;
        lock.unlock();
        try {
            return Open();
        } catch (const std::exception& e) {
            Release(nullptr);
            throw StoreFailure("cannot reach the database: " + std::string(e.what()));
        }
    }

    std::string uri_;
    std::mutex mutex_;
    std::condition_variable freed_;
    std::vector<std::unique_ptr<Connection>> idle_;
    size_t open_ = 1; // the one the constructor opens
};

Transaction::Transaction(PostgresDatabase& db, std::unique_ptr<Connection> c, bool writes)
    : db_(db), c_(std::move(c)), open_(false) {
    try {
        if (writes) c_->Exec("BEGIN");
        open_ = writes;
    } catch (...) {
        db_.Release(std::move(c_));
        throw;
    }
}

Transaction::~Transaction() {
    if (open_) PQclear(PQexec(c_->conn, "ROLLBACK"));
    db_.Release(std::move(c_));
}

} // namespace

std::unique_ptr<Database> OpenPostgresDatabase(const std::string& uri) {
    return std::make_unique<PostgresDatabase>(uri);
}
