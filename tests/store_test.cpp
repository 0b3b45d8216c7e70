// The board's store through its interface alone, on whichever database the run uses (SQLite,
// or PostgreSQL under the Postgres. prefix): both must answer alike. Its clock is the test's,
// moved instead of waited for.
#include <gtest/gtest.h>

#include <memory>

#include "board/daily.h"
#include "board/database.h"
#include "board/store.h"
#include "tests/board_helpers.h"
#include "tests/sim_helpers.h"

namespace {

using namespace board_test;

// 01:00 UTC on a day of the test's.
const int64_t kMorning = *DayStart("2026-03-02") + 3600;

struct Opened {
    std::shared_ptr<int64_t> now = std::make_shared<int64_t>(kMorning);
    std::unique_ptr<Store> store;
    explicit Opened(const std::string& name) {
        const auto dir = GameDir("store_" + name, false);
        store = OpenStore(StoreFor(dir / "board.sqlite3"), [now = now] { return *now; });
    }
    Store* operator->() const { return store.get(); }
};

BoardGame Verified(int score, const std::string& name, int64_t submitted, uint64_t frames = 900) {
    BoardGame g;
    g.score = score, g.level = 2, g.frames = frames, g.name = name, g.submitted = submitted;
    g.verifier = "koravel-sim test";
    return g;
}

// An upload taken and stored as a game of that identity.
std::optional<Submission> Keep(Opened& s, const std::string& bytes, const BoardGame& g,
                               const std::string& identity, const Claim& claim = {}) {
    s->Enqueue(bytes, "best");
    const auto job = s->TakeJob(60);
    if (!job) return std::nullopt;
    return s->StoreGame(*job, g, identity, claim);
}

} // namespace

TEST(StoreConformance, AnUploadIsKeptOnceTakenByOneAndJudgedOnlyByItsLeaseHolder) {
    Opened s("jobs");
    const Submission first = s->Enqueue("recording A", "best");
    EXPECT_EQ(first.state, SubmissionState::Queued);
    EXPECT_EQ(s->Enqueue("recording A", "best").id, first.id); // sent again: the same
    EXPECT_NE(s->Enqueue("recording A", "last").id, first.id); // another game of it
    EXPECT_EQ(s->Pending(), 2);

    const auto job = s->TakeJob(60);
    ASSERT_TRUE(job);
    EXPECT_EQ(job->id, first.id);
    EXPECT_EQ(job->recording, "recording A");
    EXPECT_EQ(job->which, "best");
    EXPECT_EQ(s->SubmissionById(first.id)->state, SubmissionState::Verifying);
    const auto second = s->TakeJob(60);
    ASSERT_TRUE(second);
    EXPECT_NE(second->id, job->id);
    EXPECT_FALSE(s->TakeJob(60)); // both leased
    s->ReturnJob(*second);
    const auto again = s->TakeJob(60);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->id, second->id);
    EXPECT_EQ(again->attempt, second->attempt + 1);

    // The first lease runs out: the job is taken again, and only its new holder's verdict
    // counts.
    *s.now += 61;
    const auto retaken = s->TakeJob(60);
    ASSERT_TRUE(retaken);
    EXPECT_EQ(retaken->id, job->id);
    EXPECT_FALSE(s->RefuseJob(*job, "too late"));
    EXPECT_FALSE(s->StoreGame(*job, Verified(50, "OLD", s->Now()), "id-a", {}));
    const auto stored = s->StoreGame(*retaken, Verified(50, "NEW", s->Now()), "id-a", {});
    ASSERT_TRUE(stored);
    EXPECT_TRUE(stored->newGame);
    const auto kept = s->SubmissionById(job->id);
    EXPECT_EQ(kept->state, SubmissionState::Stored);
    EXPECT_EQ(kept->game, stored->game);
    EXPECT_TRUE(s->RefuseJob(*again, "departs at frame 9"));
    EXPECT_EQ(s->SubmissionById(again->id)->reason, "departs at frame 9");
    EXPECT_EQ(s->SubmissionById(again->id)->state, SubmissionState::Refused);
    EXPECT_EQ(s->Pending(), 0);
    EXPECT_FALSE(s->SubmissionById(999999));

    // The same game in other bytes is stored as the game it is.
    const auto same = Keep(s, "recording A, other words", Verified(50, "NEW", s->Now()), "id-a");
    ASSERT_TRUE(same);
    EXPECT_FALSE(same->newGame);
    EXPECT_EQ(same->game, stored->game);
    const auto game = s->Game(stored->game);
    ASSERT_TRUE(game);
    EXPECT_EQ(game->name, "NEW");
    EXPECT_EQ(game->uploaded, kMorning); // when its first upload arrived
    EXPECT_EQ(game->unranked, "none");
    EXPECT_EQ(*s->Recording(stored->game), "recording A");
    EXPECT_FALSE(s->Game(999999));

    // A killed board's jobs: the sole board on a SQLite file takes them back at its start; a
    // shared database leaves them to their leases.
    s->Enqueue("recording B", "best");
    ASSERT_TRUE(s->TakeJob(60));
    EXPECT_EQ(s->RequeueAbandoned(), OnPostgres() ? 0 : 1);
}

TEST(StoreConformance, TablesListEachNamesBestAndHideWhatModeratorsHide) {
    Opened s("tables");
    const int64_t t = s->Now();
    std::vector<int64_t> ids;
    int n = 0;
    for (const auto& [score, name] : std::vector<std::pair<int, std::string>>{
             {300, "AAA"}, {500, "BBB"}, {400, "AAA"}, {500, "CCC"}, {0, "DDD"}}) {
        *s.now += 10;
        ids.push_back(Keep(s, "game " + std::to_string(n), Verified(score, name, t + 10 * n),
                           "id-" + std::to_string(n))
                          ->game);
        ++n;
    }
    auto names = [](const std::vector<BoardGame>& games) {
        std::string out;
        for (const auto& g : games) out += g.name + std::to_string(g.score) + " ";
        return out;
    };
    EXPECT_EQ(names(s->Top(10, 0, false)), "BBB500 CCC500 AAA400 "); // a tie: the earlier first
    EXPECT_EQ(names(s->Top(10, 0, true)), "BBB500 CCC500 AAA400 AAA300 ");
    EXPECT_EQ(names(s->Top(2, 0, true)), "BBB500 CCC500 ");
    EXPECT_EQ(names(s->Top(10, t + 15, true)), "CCC500 AAA400 ");

    Moderation hide{true, ids[1], "", "cheating", "op", s->Now()};
    EXPECT_TRUE(s->Moderate(hide));
    EXPECT_EQ(names(s->Top(10, 0, false)), "CCC500 AAA400 ");
    EXPECT_TRUE(s->Game(ids[1])->hidden);
    EXPECT_TRUE(s->Moderate({true, 0, "AAA", "rude", "op", s->Now()}));
    EXPECT_EQ(names(s->Top(10, 0, false)), "CCC500 ");
    EXPECT_TRUE(s->Game(ids[0])->hidden);
    EXPECT_FALSE(s->Moderate({true, 0, "ZZZ", "no such name", "op", s->Now()}));
    EXPECT_FALSE(s->Moderate({true, 999999, "", "no such game", "op", s->Now()}));
    EXPECT_TRUE(s->Moderate({false, 0, "AAA", "", "op", s->Now()}));
    EXPECT_FALSE(s->Moderate({false, 0, "AAA", "", "op", s->Now()})); // not hidden now
    EXPECT_EQ(names(s->Top(10, 0, false)), "CCC500 AAA400 ");
    const RankCounts counts = s->Counts();
    EXPECT_EQ(counts.hidden, 1);
    EXPECT_EQ(counts.ranked, 0);
    int64_t none = 0;
    for (const auto& [code, count] : counts.unranked) none += code == "none" ? count : 0;
    EXPECT_EQ(none, 4);
}

TEST(StoreConformance, AttemptsRankOneGameEachAndAreForgottenAfterThreeDays) {
    Opened s("attempts");
    const std::string secret = s->Secret("first secret");
    EXPECT_EQ(secret, "first secret");
    EXPECT_EQ(s->Secret("another"), "first secret"); // every host gets the one kept
    const std::string day = DayOf(s->Now());
    s->AddAttempt({"token-1", day, 77, s->Now(), 0});
    s->AddAttempt({"token-2", day, 77, s->Now(), 0});
    *s.now += 60; // a 900-frame game takes 27 s
    const Claim claim{77, "token-1", "", true, day};
    const auto ranked = Keep(s, "daily 1", Verified(200, "AAA", s->Now()), "id-1", claim);
    ASSERT_TRUE(ranked);
    EXPECT_TRUE(s->Game(ranked->game)->ranked);
    EXPECT_EQ(s->Game(ranked->game)->day, day);
    const auto reused = Keep(s, "daily 2", Verified(300, "AAA", s->Now()), "id-2", claim);
    EXPECT_EQ(s->Game(reused->game)->unranked, "reused");
    const Claim quick{77, "token-2", "", true, day};
    const auto fast =
        Keep(s, "daily 3", Verified(300, "BBB", s->Now(), 100000), "id-3", quick); // 50 min
    EXPECT_EQ(s->Game(fast->game)->unranked, "fast");
    ASSERT_EQ(s->DayTable(day, 10).size(), 1u);
    EXPECT_EQ(s->DayTable(day, 10)[0].name, "AAA");
    EXPECT_EQ(s->RankedDays(10), std::vector<std::string>{day});

    // Three days on, a new attempt forgets the old ones: their tokens are now forgeries.
    *s.now += 3 * kDaySeconds + 1;
    s->AddAttempt({"token-3", DayOf(s->Now()), 78, s->Now(), 0});
    const auto old = Keep(s, "daily 4", Verified(300, "CCC", s->Now()), "id-4",
                          Claim{77, "token-2", "", true, day});
    EXPECT_EQ(s->Game(old->game)->unranked, "forged");
}

TEST(StoreConformance, VerifierHostsAreCountedWhileTheyAreHeardFrom) {
    Opened s("hosts");
    EXPECT_EQ(s->Heartbeat("a", 2).threads, 2);
    const VerifierCount both = s->Heartbeat("b", 3);
    EXPECT_EQ(both.hosts, 2);
    EXPECT_EQ(both.threads, 5);
    *s.now += 31; // b falls silent
    const VerifierCount one = s->Heartbeat("a", 2);
    EXPECT_EQ(one.hosts, 1);
    EXPECT_EQ(one.threads, 2);
    EXPECT_EQ(s->Heartbeat("a", 0).hosts, 0); // a leaves
    *s.now += 3600;
    EXPECT_EQ(s->Heartbeat("c", 1).hosts, 1);
}

// A board from before the schema was numbered (its first tables, one game) opened by this one:
// every later step applied, the game kept with the defaults of what it lacked.
TEST(StoreConformance, AnOldDatabaseIsUpgradedStepByStep) {
    const auto dir = GameDir("store_old", false);
    const std::string where = StoreFor(dir / "board.sqlite3");
    {
        const auto db = OnPostgres() ? OpenPostgresDatabase(where) : OpenSqliteDatabase(where);
        const auto t = db->Begin(true);
        t->Exec(OnPostgres() ? SchemaSteps()[0].postgres : SchemaSteps()[0].sqlite);
        t->Exec("INSERT INTO games (score, level, frames, name, submitted, recording, digest)"
                " VALUES (120, 3, 4000, 'OLD', 1700000000, 'bytes', 'digest-old')");
        t->Commit();
    }
    const auto store = OpenStore(where, [] { return kMorning; });
    EXPECT_EQ(store->SchemaVersion(), SchemaSteps().back().version);
    const auto top = store->Top(10, 0, false);
    ASSERT_EQ(top.size(), 1u);
    EXPECT_EQ(top[0].name, "OLD");
    EXPECT_EQ(top[0].rules, 1);
    EXPECT_FALSE(top[0].ranked);
    EXPECT_EQ(top[0].unranked, "none");
    EXPECT_EQ(*store->Recording(top[0].id), "bytes");
    // Opened again, nothing is applied twice; a database of a newer schema is refused.
    EXPECT_EQ(OpenStore(where)->SchemaVersion(), SchemaSteps().back().version);
    {
        const auto db = OnPostgres() ? OpenPostgresDatabase(where) : OpenSqliteDatabase(where);
        const auto t = db->Begin(true);
        t->Exec("UPDATE board_schema SET version = 99");
        t->Commit();
    }
    try {
        OpenStore(where);
        ADD_FAILURE() << "a newer schema was opened";
    } catch (const std::runtime_error& e) {
        EXPECT_THAT(std::string(e.what()), HasSubstr("schema version 99")) << e.what();
    }
}
