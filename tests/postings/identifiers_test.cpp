#include "postings/identifiers.h"
#include "postings/posting.h"
#include "support/mariadb_server.h"

#include <atomic>
#include <gtest/gtest.h>
#include <iostream>
#include <latch>
#include <thread>

using namespace kalinda;
using namespace kalinda::test;

namespace {

class IdentifiersTest : public ::testing::Test {
protected:
    void SetUp() override {
        MariaDbServer::instance().resetDatabase();
        admin = adminConnection();
        db = kioskConnection();
    }

    // A ledger row holding an id, as the administration writes it (only what the id logic needs).
    static void insertLedgerRow(Connection& c, const QString& id) {
        Sql s;
        s << "INSERT INTO `cashless-adm`.data_tabungan_trans SET trans_id = '" << esc(id)
          << "', trans_tanggal = NOW(), trans_kode = '14', trans_rekening = '010100000001'";
        c.execute(s);
    }

    std::unique_ptr<Connection> admin;
    std::unique_ptr<Connection> db;
    const QDate today = QDate(2026, 12, 7);
};

TEST_F(IdentifiersTest, DailySequenceStartsAtOneAndCounts) {
    EXPECT_EQ(IdReg(*db, kTransactionIds, today), QStringLiteral("KLD202612070001"));
    for (int i = 1; i <= 11; ++i)
        insertLedgerRow(*admin, IdReg(*db, kTransactionIds, today));
    EXPECT_EQ(IdReg(*db, kTransactionIds, today), QStringLiteral("KLD202612070012"));
}

TEST_F(IdentifiersTest, YesterdayAndRandomIdsDoNotMoveTodaysNumber) {
    insertLedgerRow(*admin, QStringLiteral("KLD202612069998"));
    // Random ids of today and of the payments' derived rows.
    insertLedgerRow(*admin, QStringLiteral("KLD261207987654"));
    insertLedgerRow(*admin, QStringLiteral("KLD261207987654##"));
    insertLedgerRow(*admin, QStringLiteral("KLD261207202612"));
    EXPECT_EQ(IdReg(*db, kTransactionIds, today), QStringLiteral("KLD202612070001"));
    EXPECT_EQ(IdReg(*db, kTransactionIds, today.addDays(-1)), QStringLiteral("KLD202612069999"));
}

TEST_F(IdentifiersTest, StatementIsTheDailySequenceQuery) {
    StatementRecorder recorder;
    IdReg(*db, kTransactionIds, today);
    IdReg(*db, kOrderCodes, today);
    IdReg(*db, kSessionIds, today);
    EXPECT_EQ(recorder.statements(),
              (QStringList{
                  QStringLiteral("SELECT MAX(RIGHT(trans_id, 4)) as Nomor FROM `cashless-adm`."
                                 "data_tabungan_trans WHERE LEFT(trans_id, 11) = 'KLD20261207' "
                                 "AND trans_id LIKE 'KLD20261207%' "),
                  QStringLiteral("SELECT MAX(RIGHT(order_kode, 3)) as Nomor FROM `aio-kirna`."
                                 "data_barang_order WHERE LEFT(order_kode, 9) = 'ODR261207' "
                                 "AND order_kode LIKE 'ODR261207%' "),
                  QStringLiteral("SELECT MAX(RIGHT(user_session, 4)) as Nomor FROM "
                                 "data_pengguna_alias WHERE LEFT(user_session, 9) = 'SES261207' "),
              }));
    // The day's rows are a range of the primary key, not a read of the whole table.
    for (const SequenceFamily* family : {&kTransactionIds, &kOrderCodes}) {
        Sql explain("EXPLAIN ");
        explain << sequenceQuery(*family, today);
        Recordset plan = admin->open(explain);
        EXPECT_EQ(plan.text(QStringLiteral("type")), QStringLiteral("range"));
        EXPECT_EQ(plan.text(QStringLiteral("key")), QStringLiteral("PRIMARY"));
    }
    // No date, no prefix to match: refused rather than a range over every id.
    EXPECT_THROW(IdReg(*db, kTransactionIds, QDate()), DbError);
}

TEST_F(IdentifiersTest, OrderAndSessionFamiliesHaveTheirOwnWidth) {
    EXPECT_EQ(IdReg(*db, kOrderCodes, today), QStringLiteral("ODR261207001"));
    admin->execute(Sql("UPDATE data_pengguna_alias SET user_session = 'SES2612070041'"));
    EXPECT_EQ(IdReg(*db, kSessionIds, today), QStringLiteral("SES2612070042"));
    EXPECT_EQ(IdReg(*db, kSessionIds, today).size(), 13);
}

TEST_F(IdentifiersTest, PastTheDaysCapacityThePostingIsRefused) {
    insertLedgerRow(*admin, QStringLiteral("KLD202612079999"));
    EXPECT_THROW(IdReg(*db, kTransactionIds, today), IdCapacityError);
    admin->execute(Sql("INSERT INTO `aio-kirna`.data_barang_order SET order_kode = 'ODR261207999', "
                       "order_tanggal = NOW(), order_rekening = 'x'"));
    try {
        IdReg(*db, kOrderCodes, today);
        FAIL() << "no refusal";
    } catch (const IdCapacityError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("999"))) << e.what();
    }
}

TEST_F(IdentifiersTest, RandomIdHasTheDateAndSixDigits) {
    StatementRecorder recorder;
    const QString id = randomPostingId(*db, today);
    EXPECT_TRUE(id.startsWith(QStringLiteral("KLD261207")));
    ASSERT_EQ(id.size(), 15);
    const int number = id.mid(9).toInt();
    EXPECT_GE(number, 100000);
    EXPECT_LE(number, 999999);
    EXPECT_EQ(recorder.statements(),
              QStringList{
                  QStringLiteral("SELECT FLOOR((RAND() * (999999-100000+1))+100000) as Number ")});
}

TEST_F(IdentifiersTest, RoundDrawsKeepSixDigitsAndMalformedOnesAreRefused) {
    // A round draw as the server returns it, a DOUBLE: taken as text it reads "1e+05".
    const auto fromServer = [](int n) -> RandomNumberSource {
        return [n](Connection& c) {
            Sql s("SELECT FLOOR(RAND() * 0) + ");
            return c.open(s << n << " as Number").value(QStringLiteral("Number"));
        };
    };
    ASSERT_EQ(fromServer(100000)(*db).typeId(), QMetaType::Double);
    for (int n : {100000, 900000})
        EXPECT_EQ(randomPostingId(*db, today, fromServer(n)), QStringLiteral("KLD261207%1").arg(n));
    for (const QVariant& bad : {QVariant(1000000), QVariant(123456.5)})
        EXPECT_THROW(randomPostingId(*db, today, [&](Connection&) { return bad; }), DbError);
}

// Another kiosk stored the id first: a random id is drawn again, a sequence id takes the next
// number, and each refusal is counted.
TEST_F(IdentifiersTest, AnIdTakenMeanwhileIsMadeAgain) {
    const int before = duplicateIdRetries();
    insertLedgerRow(*admin, QStringLiteral("KLD261207111111"));
    QStringList draws = {QStringLiteral("111111"), QStringLiteral("222222")};
    const QString id = insertWithRandomId(
        *db, [&](const QString& candidate) { insertLedgerRow(*admin, candidate); }, today,
        [&](Connection&) { return draws.takeFirst(); });
    EXPECT_EQ(id, QStringLiteral("KLD261207222222"));
    EXPECT_TRUE(draws.isEmpty());
    EXPECT_EQ(duplicateIdRetries() - before, 1);

    // Our read runs in a snapshot taken before the other kiosk's row: it never sees that row.
    auto other = adminConnection();
    Transaction snapshot(*admin);
    QStringList tried;
    const QString next = insertWithSequenceId(
        *admin, kTransactionIds,
        [&](const QString& candidate) {
            if (tried.isEmpty()) // the other kiosk, between our read and our insert
                insertLedgerRow(*other, candidate);
            tried << candidate;
            insertLedgerRow(*admin, candidate);
        },
        today);
    snapshot.commit();
    EXPECT_EQ(tried, (QStringList{QStringLiteral("KLD202612070001"), next}));
    EXPECT_EQ(next, QStringLiteral("KLD202612070002"));
    EXPECT_EQ(duplicateIdRetries() - before, 2);
    EXPECT_EQ(scalarInt(*admin, Sql("SELECT COUNT(*) FROM `cashless-adm`.data_tabungan_trans "
                                    "WHERE trans_id LIKE 'KLD261207%' OR trans_id LIKE "
                                    "'KLD20261207%'")),
              4);
}

// The unique key keeps the ids apart anyway; what is checked is that the kiosks really took the
// same number and that every collision cost a retry, not a posting.
TEST_F(IdentifiersTest, TwoKiosksRacingNeverShareASequenceNumber) {
    constexpr int kPerKiosk = 40;
    std::atomic<int> failures{0};
    std::latch connected(2);
    const int before = duplicateIdRetries();
    auto kiosk = [&]() {
        auto c = adminConnection();
        connected.arrive_and_wait();
        for (int i = 0; i < kPerKiosk; ++i) {
            try {
                Transaction tx(*c, Isolation::ReadCommitted); // as a posting's
                insertWithSequenceId(
                    *c, kTransactionIds, [&](const QString& id) { insertLedgerRow(*c, id); },
                    today);
                // Keep the number taken but not committed for a moment, as a posting does.
                c->execute(Sql("DO SLEEP(0.002)"));
                tx.commit();
            } catch (const std::exception& e) {
                if (++failures == 1)
                    ADD_FAILURE() << e.what();
            }
        }
    };
    std::thread a(kiosk);
    std::thread b(kiosk);
    a.join();
    b.join();
    EXPECT_EQ(failures.load(), 0);
    const int collisions = duplicateIdRetries() - before;
    EXPECT_GT(collisions, 0);
    std::cout << "[ race     ] " << 2 * kPerKiosk << " ids, " << collisions << " collisions\n";
    EXPECT_EQ(scalar(*admin, Sql("SELECT CONCAT(COUNT(*), ' ', MAX(trans_id)) FROM "
                                 "`cashless-adm`.data_tabungan_trans WHERE trans_id LIKE "
                                 "'KLD20261207%'")),
              QStringLiteral("80 KLD202612070080"));
}

// A posting undone by a deadlock is run again up to the cap; one whose lock wait timed out only
// once more (the student already waited the whole lock wait); any other failure not at all.
TEST(RetryOnConflict, DeadlocksUpToTheCapLockWaitsOnceOthersNever) {
    using K = DbError::Kind;
    const struct {
        unsigned code;
        K kind;
        int failures; // before it would succeed
        int runs;     // expected
    } cases[] = {
        {1213, K::Conflict, 2, 3},   {1213, K::Conflict, 99, kConflictAttempts},
        {1205, K::Conflict, 1, 2},   {1205, K::Conflict, 99, kLockWaitAttempts},
        {2013, K::Connection, 1, 1}, {1062, K::Constraint, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.code << " x" << c.failures);
        int runs = 0;
        const auto posting = [&] {
            if (++runs <= c.failures)
                throw DbError(c.kind, c.code, QStringLiteral("refused"));
            return runs;
        };
        if (c.runs > c.failures) {
            EXPECT_EQ(retryOnConflict<int>(posting), c.runs);
            EXPECT_EQ(lastConflictRetries, c.runs - 1);
        } else {
            EXPECT_THROW(retryOnConflict<int>(posting), DbError);
        }
        EXPECT_EQ(runs, c.runs);
    }
}

} // namespace
