#include "race_table.h"

using namespace kalinda;
using namespace kalinda::test;

namespace {

// Two kiosks on the one server; they lock rows in the same order, so InnoDB never has a deadlock
// to break.
TEST(RaceTest, EveryPostingRacedByTwoKiosksPostsOnlyWhatTheRulesAllow) {
    MariaDbServer::instance().resetDatabase();
    auto admin = adminConnection();
    auto a = kioskConnection();
    auto b = kioskConnection();
    const Sql deadlocks("SELECT VARIABLE_VALUE FROM information_schema.GLOBAL_STATUS "
                        "WHERE VARIABLE_NAME = 'INNODB_DEADLOCKS'");
    const auto deadlocksNow = [&] { return scalarInt(*admin, deadlocks); };
    const long long before = deadlocksNow();
    runRaces(postingRaces(*admin), {{a.get(), b.get()}, {admin.get()}, deadlocksNow, "race    "},
             25);
    EXPECT_EQ(deadlocksNow(), before);
}

} // namespace
