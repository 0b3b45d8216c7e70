// Walking and removal rules of the entity lists.
#include <gtest/gtest.h>

#include <vector>

#include "entity/list.h"

namespace {
struct thing;
KindList<thing> thing_list;
} // namespace
template <> KindList<thing>& ListOf<thing>() { return thing_list; }
namespace {

struct thing : Kind<thing> {
    int id = 0;
};

std::shared_ptr<thing> Make(int id) {
    auto t = New<thing>();
    t->id = id;
    return t;
}

std::vector<int> Ids() {
    std::vector<int> ids;
    for (auto& t : thing_list) ids.push_back(t.id);
    return ids;
}

class ListTest : public ::testing::Test {
  protected:
    void SetUp() override { thing_list.Clear(); }
};

TEST_F(ListTest, RemovingDuringAWalkVisitsEachOnceAndEmptiesTheList) {
    for (int i = 0; i < 5; ++i) Make(i);
    std::vector<int> seen;
    for (auto& t : thing_list) {
        seen.push_back(t.id);
        t.Remove();
        EXPECT_EQ(t.id, seen.back()); // still readable after removal
    }
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_TRUE(thing_list.Empty());
}

TEST_F(ListTest, AppendingDuringAWalkIsVisitedUnlessWorkingOnTheLast) {
    for (int i = 0; i < 3; ++i) Make(i);
    std::vector<int> seen;
    for (auto& t : thing_list) {
        seen.push_back(t.id);
        if (t.id == 0) Make(10);
    }
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 10}));

    thing_list.Clear();
    for (int i = 0; i < 3; ++i) Make(i);
    seen.clear();
    for (auto& t : thing_list) {
        seen.push_back(t.id);
        if (t.id == 2) Make(10);
    }
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(Ids(), (std::vector<int>{0, 1, 2, 10}));
}

TEST_F(ListTest, RemovingEntitiesAheadOfTheWalkSkipsThem) {
    std::vector<std::shared_ptr<thing>> all;
    for (int i = 0; i < 5; ++i) all.push_back(Make(i));
    std::vector<int> seen;
    for (auto& t : thing_list) {
        seen.push_back(t.id);
        if (t.id == 0) {
            all[1]->Remove(); // the very next link: met empty, then followed on
            all[2]->Remove(); // removed further ahead
        }
    }
    EXPECT_EQ(seen, (std::vector<int>{0, 3, 4}));
}

TEST_F(ListTest, RemovingTheNextTwoWithoutOtherReferencesStillWalksOn) {
    for (int i = 0; i < 4; ++i) Make(i);
    std::vector<int> seen;
    for (auto& t : thing_list) {
        seen.push_back(t.id);
        if (t.id == 0) {
            // Only the list holds these: their links must outlive the removal for the walk.
            thing_list.Remove(thing_list.First()->After().get());
            thing_list.Remove(thing_list.First()->After().get());
        }
    }
    EXPECT_EQ(seen, (std::vector<int>{0, 3}));
}

TEST_F(ListTest, InsertBeforeItselfRemoveTwiceAndNestedWalks) {
    auto a = Make(1);
    a->InsertBefore(*thing_list.First());
    EXPECT_EQ(Ids(), (std::vector<int>{1}));
    auto b = Make(2);
    b->InsertBefore(*thing_list.First());
    Make(3);
    EXPECT_EQ(Ids(), (std::vector<int>{2, 1, 3}));
    int pairs = 0;
    for (auto& p : thing_list)
        for (auto& q : thing_list) pairs += p.id < q.id;
    EXPECT_EQ(pairs, 3);
    a->Remove();
    a->Remove();
    EXPECT_EQ(Ids(), (std::vector<int>{2, 3}));
    EXPECT_EQ(a->list, &thing_list); // keeps its list reference
}

} // namespace
