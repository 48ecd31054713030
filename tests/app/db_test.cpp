#include "app/money.h"
#include "support/mariadb_server.h"
#include "support/tcp_proxy.h"

#include <QScopeGuard>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>

using namespace kalinda;
using namespace kalinda::test;

namespace {

class DbTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { MariaDbServer::instance().resetDatabase(); }
    void SetUp() override {
        admin = adminConnection();
        admin->execute(Sql("CREATE TABLE IF NOT EXISTS scratch (id INT AUTO_INCREMENT PRIMARY KEY, "
                           "txt VARCHAR(500), num BIGINT NULL, dec_col DECIMAL(12,2) NULL, "
                           "bin MEDIUMBLOB NULL) ENGINE=InnoDB"));
        admin->execute(Sql("TRUNCATE TABLE scratch"));
        admin->execute(
            Sql("GRANT SELECT, INSERT, UPDATE ON scratch TO '" KALINDA_TEST_USER "'@'localhost'"));
        db = kioskConnection();
    }
    std::unique_ptr<Connection> admin;
    std::unique_ptr<Connection> db;
};

TEST_F(DbTest, RecordsetStepsThroughRowsAndReportsEofAndNull) {
    admin->execute(Sql("INSERT INTO scratch (txt, num) VALUES ('a', 1), ('b', NULL), ('c', 3)"));
    Recordset rs = db->open(Sql("SELECT txt, num AS Nomor FROM scratch ORDER BY id"));
    ASSERT_FALSE(rs.eof());
    EXPECT_EQ(rs.rowCount(), 3);
    EXPECT_EQ(rs.value(QStringLiteral("txt")).toString(), QStringLiteral("a"));
    EXPECT_EQ(rs.value(QStringLiteral("nomor")).toLongLong(), 1); // alias, any case
    rs.moveNext();
    EXPECT_TRUE(rs.value(QStringLiteral("Nomor")).isNull());
    EXPECT_EQ(rs.text(QStringLiteral("Nomor")), QString());
    rs.moveNext();
    EXPECT_EQ(rs.text(QStringLiteral("txt")), QStringLiteral("c"));
    rs.moveNext();
    EXPECT_TRUE(rs.eof());
    rs.moveFirst();
    EXPECT_EQ(rs.text(QStringLiteral("txt")), QStringLiteral("a"));
    rs.close();
    EXPECT_TRUE(rs.eof());

    Recordset empty = db->open(Sql("SELECT txt FROM scratch WHERE 1 = 0"));
    EXPECT_TRUE(empty.eof());
    EXPECT_THROW(empty.value(QStringLiteral("txt")), DbError);
}

TEST_F(DbTest, ValuesKeepTheirKind) {
    admin->execute(Sql("INSERT INTO scratch (txt, num, dec_col, bin) "
                       "VALUES ('x', 12345678901, 1500.00, X'FFD80001')"));
    Recordset rs = db->open(Sql("SELECT num, dec_col, bin, txt, MAX(RIGHT(txt, 4)) AS m "
                                "FROM scratch GROUP BY id"));
    EXPECT_EQ(rs.value(QStringLiteral("num")).typeId(), QMetaType::LongLong);
    EXPECT_EQ(rs.value(QStringLiteral("num")).toLongLong(), 12345678901LL);
    EXPECT_EQ(rs.value(QStringLiteral("dec_col")).toString(), QStringLiteral("1500.00"));
    EXPECT_EQ(rs.bytes(QStringLiteral("bin")), QByteArray::fromHex("FFD80001"));
    EXPECT_EQ(rs.value(QStringLiteral("bin")).typeId(), QMetaType::QByteArray);
    EXPECT_THROW(rs.value(QStringLiteral("missing")), DbError);
}

// A school's server may return money as DECIMAL, DOUBLE or NULL, not only BIGINT: each is whole
// rupiah, a fraction rounded half away from zero alike for both kinds.
TEST_F(DbTest, MoneyOfEveryNumericKindIsWholeRupiah) {
    Recordset rs = db->open(
        Sql("SELECT CAST(12500.50 AS DECIMAL(18,2)) AS d1, CAST(-12500.50 AS DECIMAL(18,2)) AS d2, "
            "CAST(12500.49 AS DECIMAL(18,2)) AS d3, CAST(12500.5 AS DOUBLE) AS f1, "
            "CAST(-12500.5 AS DOUBLE) AS f2, CAST(12500.25 AS DOUBLE) AS f3, "
            "CAST(NULL AS DECIMAL(18,2)) AS n1, CAST(NULL AS DOUBLE) AS n2"));
    const std::tuple<const char*, QMetaType::Type, Rupiah> cases[] = {
        {"d1", QMetaType::QString, 12501}, {"d2", QMetaType::QString, -12501},
        {"d3", QMetaType::QString, 12500}, {"f1", QMetaType::Double, 12501},
        {"f2", QMetaType::Double, -12501}, {"f3", QMetaType::Double, 12500},
        {"n1", QMetaType::UnknownType, 0}, {"n2", QMetaType::UnknownType, 0},
    };
    for (const auto& [column, type, rupiah] : cases) {
        const QVariant v = rs.value(QString::fromLatin1(column));
        EXPECT_EQ(v.typeId(), type) << column;
        EXPECT_EQ(toRupiah(v), rupiah) << column;
    }
}

TEST_F(DbTest, CallCanBeFollowedByMoreStatementsOnTheSameConnection) {
    db->execute(Sql("CALL `cashless-adm`.HitungTabSaldoNasabah('010100000001') "));
    db->execute(Sql("CALL `cashless-adm`.HitungSppMakan('010100000002')"));
    Recordset rs = db->open(Sql("SELECT tab_saldo_efektif FROM `cashless-adm`.data_tabungan_master "
                                "WHERE tab_rekening = '010100000001'"));
    EXPECT_EQ(rs.value(QStringLiteral("tab_saldo_efektif")).toLongLong(), 320000);
    db->execute(Sql("INSERT INTO scratch SET txt = 'after call'"));
    EXPECT_EQ(scalar(*db, Sql("SELECT COUNT(*) FROM scratch")), QStringLiteral("1"));
}

TEST_F(DbTest, RejectedStatementCarriesTheServersMessage) {
    try {
        // As root: the kiosk's user is told it may not, before the server looks for the table.
        admin->execute(Sql("INSERT INTO no_such_table SET x = 1"));
        FAIL() << "no error";
    } catch (const DbError& e) {
        EXPECT_EQ(e.code(), 1146u);
        EXPECT_EQ(e.kind(), DbError::Kind::Rejected);
        EXPECT_TRUE(e.message().contains(QStringLiteral("no_such_table"))) << e.what();
    }
    // The connection stays usable.
    EXPECT_EQ(scalar(*admin, Sql("SELECT 1")), QStringLiteral("1"));
}

TEST_F(DbTest, KioskUserCannotDeleteOrChangeTheSchema) {
    try {
        db->execute(Sql("DELETE FROM log_transaksi"));
        FAIL() << "DELETE was allowed";
    } catch (const DbError& e) {
        EXPECT_EQ(e.code(), 1142u);
    }
    EXPECT_THROW(db->execute(Sql("CREATE TABLE evil (a INT)")), DbError);
    EXPECT_THROW(db->execute(Sql("DROP TABLE log_transaksi")), DbError);
}

TEST_F(DbTest, DuplicateKeyIsAConstraintError) {
    db->execute(Sql("INSERT INTO data_pin_salah SET pin_kunci = 'dup'"));
    try {
        db->execute(Sql("INSERT INTO data_pin_salah SET pin_kunci = 'dup'"));
        FAIL();
    } catch (const DbError& e) {
        EXPECT_TRUE(e.isDuplicateKey());
        EXPECT_EQ(e.kind(), DbError::Kind::Constraint);
    }
}

TEST_F(DbTest, RolledBackTransactionLeavesNothing) {
    {
        Transaction tx(*db);
        db->execute(Sql("INSERT INTO scratch SET txt = 'one'"));
        db->execute(Sql("INSERT INTO scratch SET txt = 'two'"));
        // No commit: the guard rolls back.
    }
    EXPECT_EQ(scalar(*admin, Sql("SELECT COUNT(*) FROM scratch")), QStringLiteral("0"));

    try {
        Transaction tx(*db);
        db->execute(Sql("INSERT INTO scratch SET txt = 'three'"));
        db->execute(Sql("INSERT INTO scratch SET nope = 1"));
        tx.commit();
    } catch (const DbError&) {
    }
    EXPECT_EQ(scalar(*admin, Sql("SELECT COUNT(*) FROM scratch")), QStringLiteral("0"));

    {
        Transaction tx(*db);
        db->execute(Sql("INSERT INTO scratch SET txt = 'kept'"));
        tx.commit();
    }
    EXPECT_EQ(scalar(*admin, Sql("SELECT COUNT(*) FROM scratch")), QStringLiteral("1"));
}

TEST_F(DbTest, HostileValuesRoundTripByteForByteAndTheTableSurvives) {
    const QStringList corpus = {
        QStringLiteral("Ma'ruf"),
        QStringLiteral("Syafi'i"),
        QStringLiteral("' OR '1'='1"),
        QStringLiteral("\\'; DROP TABLE scratch; --"),
        QStringLiteral("back\\slash\\"),
        QStringLiteral("\\"),
        QStringLiteral("''"),
        QStringLiteral("\"double\" `back`"),
        QString(QChar(0)) + QStringLiteral("nul") + QChar(0),
        QStringLiteral("line\nbreak\r\ttab\x1a"),
        QStringLiteral("Ünïcödé — Ñ 漢字 😀"),
        QStringLiteral("%_ wildcard"),
        QStringLiteral("a' AND SLEEP(5) AND 'a'='a"),
    };
    for (const QString& hostile : corpus) {
        Sql insert;
        insert << "INSERT INTO scratch SET txt = '" << esc(hostile) << "'";
        db->execute(insert);
        Sql select;
        select << "SELECT txt FROM scratch WHERE txt = '" << esc(hostile) << "'";
        Recordset rs = db->open(select);
        ASSERT_FALSE(rs.eof()) << hostile.toStdString();
        EXPECT_EQ(rs.text(QStringLiteral("txt")).toUtf8(), hostile.toUtf8());
        EXPECT_EQ(rs.rowCount(), 1) << hostile.toStdString();
    }
    EXPECT_EQ(scalar(*admin, Sql("SELECT COUNT(*) FROM scratch")), QString::number(corpus.size()));
    Recordset all = db->open(Sql("SELECT txt FROM scratch ORDER BY id"));
    for (const QString& hostile : corpus) {
        ASSERT_FALSE(all.eof());
        EXPECT_EQ(all.text(QStringLiteral("txt")), hostile);
        all.moveNext();
    }
}

TEST_F(DbTest, OrdinaryValuesReachTheServerAsThePlainJoinShowsThem) {
    StatementRecorder recorder;
    Sql s;
    s << "SELECT tab_rfid FROM `cashless-adm`.data_tabungan_master WHERE tab_rekening = '"
      << esc(QStringLiteral("010100000001")) << "' AND tab_pin = '" << esc(QStringLiteral("123456"))
      << "' LIMIT " << 1;
    Recordset rs = db->open(s);
    ASSERT_EQ(recorder.statements().size(), 1);
    EXPECT_EQ(recorder.statements().front(), s.plainText());
    EXPECT_EQ(recorder.statements().front(),
              QStringLiteral("SELECT tab_rfid FROM `cashless-adm`.data_tabungan_master "
                             "WHERE tab_rekening = '010100000001' AND tab_pin = "
                             "'123456' LIMIT 1"));
    EXPECT_EQ(rs.text(QStringLiteral("tab_rfid")), QStringLiteral("0004417001"));
}

TEST(DbConnect, FailsFastAndReportsStatus) {
    Connection c;
    EXPECT_EQ(c.status(), 1); // never connected
    ConnectParams p = MariaDbServer::instance().kioskParams();
    p.password = QStringLiteral("wrong");
    c.connect(p);
    EXPECT_EQ(c.status(), 1);
    EXPECT_FALSE(c.lastError().isEmpty());
    EXPECT_THROW(c.execute(Sql("SELECT 1")), DbError);

    c.connect(QStringLiteral(""), p.user, p.password, p.database, 0);
    EXPECT_EQ(c.status(), 1);

    p = MariaDbServer::instance().kioskParams();
    c.connect(p.host, p.user, p.password, p.database, p.port);
    EXPECT_EQ(c.status(), 0);
}

// A Galera node is used only while it serves the kiosk's cluster; an async replica never.
TEST(DbConnect, OnlyASoundServerIsUsed) {
    const std::tuple<ServerState, const char*, bool> cases[] = {
        {{true, false, "Synced", "Primary", "A"}, "A", true},
        {{true, false, "Synced", "Primary", "B"}, "A", false},
        {{true, false, "Donor/Desynced", "Primary", "A"}, "A", false},
        {{false, false, "", "", ""}, "A", false},
        {{false, true, "", "", ""}, "", false},
    };
    for (const auto& [state, first, taken] : cases)
        EXPECT_EQ(serverRefusal(state, QString::fromLatin1(first)).isEmpty(), taken) << first;
}

long long scratchRows(Connection& admin) {
    return scalarInt(admin, Sql("SELECT COUNT(*) FROM scratch"));
}

// However the server lost the session (KILL from another session, a restart, a cut link), a
// write that was never sent goes through on a new session, once and without an error. A session
// left behind by a cut link still holds its row locks: the new session ends it. It is ended only
// while it is ours: after a restart its id comes round to another kiosk.
TEST_F(DbTest, ALostConnectionIsOpenedAgainForTheNextStatement) {
    TcpProxy proxy(MariaDbServer::instance().port());
    auto viaProxy = [&] {
        auto c = std::make_unique<Connection>();
        c->connect(kioskParamsThrough(proxy));
        return c;
    };
    db = viaProxy();
    ConnectParams quick = MariaDbServer::instance().kioskParams();
    quick.lockWaitTimeoutSeconds = 1;
    const std::pair<const char*, std::function<void()>> losses[] = {
        {"KILL", [&] { EXPECT_TRUE(viaProxy()->endSession(db->identity())); }},
        {"restart", [] { MariaDbServer::instance().restart(); }},
        {"link cut",
         [&] {
             proxy.cutAt("'stranded'", TcpProxy::Cut::AfterSending);
             EXPECT_THROW(db->execute(Sql("SELECT 'stranded'")), DbError);
         }},
    };
    for (const auto& [name, lose] : losses) {
        SCOPED_TRACE(name);
        admin->execute(Sql("TRUNCATE TABLE scratch"));
        admin->execute(Sql("INSERT INTO scratch SET id = 1"));
        const SessionIdentity lost = db->identity();
        {
            Transaction locked(*db);
            db->open(Sql("SELECT id FROM scratch WHERE id = 1 FOR UPDATE"));
            lose();
        }
        auto other = viaProxy();
        while (other->sessionId() < lost.id)
            other = viaProxy();
        EXPECT_EQ(other->sessionId() == lost.id, std::string(name) == "restart");
        db->execute(Sql("INSERT INTO scratch SET txt = 'log row'"));
        EXPECT_EQ(scratchRows(*admin), 2);
        Connection next;
        next.connect(quick);
        Transaction lockAgain(next);
        EXPECT_NO_THROW(next.open(Sql("SELECT id FROM scratch WHERE id = 1 FOR UPDATE")));
        if (std::string(name) != "link cut") { // a killed session may linger a moment
            EXPECT_FALSE(other->endSession(lost));
        }
        EXPECT_EQ(scalar(*other, Sql("SELECT 1")), QStringLiteral("1"));
        EXPECT_EQ(other->reconnects(), 0);
    }
    EXPECT_EQ(db->reconnects(), 3);
}

TEST_F(DbTest, ALossInsideATransactionFailsItAndNothingLandsOutsideIt) {
    {
        Transaction tx(*db);
        db->execute(Sql("INSERT INTO scratch SET txt = 'first'"));
        killSession(*admin, *db);
        // Neither this statement nor the next may start a new session of their own.
        EXPECT_THROW(db->execute(Sql("INSERT INTO scratch SET txt = 'second'")), DbError);
        EXPECT_THROW(db->execute(Sql("INSERT INTO scratch SET txt = 'third'")), DbError);
    }
    EXPECT_EQ(scratchRows(*admin), 0);
    db->execute(Sql("INSERT INTO scratch SET txt = 'after'"));
    EXPECT_EQ(scratchRows(*admin), 1);
}

// The server ran the write but its answer never came back: sending it again would store it
// twice. A read lost the same way is simply asked again.
TEST_F(DbTest, AWriteLostWhileTheServerRanItIsNotSentAgain) {
    TcpProxy proxy(MariaDbServer::instance().port());
    Connection viaProxy;
    viaProxy.connect(kioskParamsThrough(proxy));
    proxy.cutAt("INSERT INTO scratch", TcpProxy::Cut::AfterSending);
    EXPECT_THROW(viaProxy.execute(Sql("INSERT INTO scratch SET txt = 'once'")), DbError);
    for (int i = 0; i < 100 && scratchRows(*admin) == 0; ++i)
        QThread::msleep(20);
    EXPECT_EQ(scratchRows(*admin), 1);
    proxy.cutAt("SELECT COUNT(*) FROM scratch", TcpProxy::Cut::AfterSending);
    EXPECT_EQ(scalar(viaProxy, Sql("SELECT COUNT(*) FROM scratch")), QStringLiteral("1"));
    EXPECT_EQ(proxy.cuts(), 2);
}

// After an outage a value is escaped by the new session's rules, here without backslashes.
TEST_F(DbTest, AStatementAfterAnOutageIsEscapedByTheServersRules) {
    admin->execute(Sql("SET GLOBAL sql_mode = 'NO_BACKSLASH_ESCAPES'"));
    const auto restore = qScopeGuard([&] { admin->execute(Sql("SET GLOBAL sql_mode = DEFAULT")); });
    TcpProxy proxy(MariaDbServer::instance().port());
    Connection c;
    c.connect(kioskParamsThrough(proxy));
    proxy.cutAt("'outage'", TcpProxy::Cut::BeforeSending);
    EXPECT_THROW(c.execute(Sql("INSERT INTO scratch SET txt = 'outage'")), DbError);
    const QString value = QStringLiteral("x\\', num = 666 -- ");
    c.execute(Sql() << "INSERT INTO scratch SET txt = '" << esc(value) << "'");
    EXPECT_EQ(scalar(*admin, Sql("SELECT txt FROM scratch WHERE num IS NULL")), value);
}

// A wait for another kiosk's lock ends as a conflict well before the read timeout; only the
// postings ask for READ COMMITTED.
TEST_F(DbTest, LockWaitsEndAsConflictsAndTheSessionKeepsTheServersIsolation) {
    EXPECT_EQ(scalar(*db, Sql("SELECT @@SESSION.innodb_lock_wait_timeout")), QStringLiteral("5"));
    EXPECT_EQ(scalar(*db, Sql("SELECT @@SESSION.tx_isolation")), QStringLiteral("REPEATABLE-READ"));
    ConnectParams p = MariaDbServer::instance().kioskParams();
    p.lockWaitTimeoutSeconds = 1;
    Connection quick;
    quick.connect(p);
    admin->execute(Sql("INSERT INTO scratch SET id = 1"));
    Transaction holder(*admin);
    admin->open(Sql("SELECT id FROM scratch WHERE id = 1 FOR UPDATE"));
    Transaction waiter(quick);
    try {
        quick.execute(Sql("UPDATE scratch SET txt = 'mine' WHERE id = 1"));
        ADD_FAILURE() << "the lock was not held";
    } catch (const DbError& e) {
        EXPECT_EQ(e.kind(), DbError::Kind::Conflict);
    }
}

} // namespace
