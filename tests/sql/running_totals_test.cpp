#include "postings/product_payment.h"
#include "support/mariadb_server.h"

#include <QFile>
#include <QRandomGenerator>
#include <array>
#include <atomic>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <thread>

using namespace kalinda;
using namespace kalinda::test;

namespace {

// Two students (one keeps a minimum balance), the canteen, and an account number that has
// ledger rows but no account row.
const QStringList kAccounts = {QStringLiteral("010100000003"), QStringLiteral("010100000004"),
                               QStringLiteral("020100000003"), QStringLiteral("099900000001")};

class RunningTotalsTest : public ::testing::Test {
protected:
    void SetUp() override {
        MariaDbServer::instance().resetDatabase();
        admin = adminConnection();
    }

    long long num(const Sql& q) { return scalarInt(*admin, q); }

    // What the account's rows add up to, counted row by row, up to the end of `day` (days from
    // today) or over every date.
    long long raw(const QString& account, std::optional<int> day = std::nullopt) {
        Sql s;
        s << "SELECT COALESCE(SUM(trans_jumlah_masuk - trans_jumlah_keluar), 0) FROM "
             "`cashless-adm`.data_tabungan_trans WHERE trans_status IN (0, 1) AND trans_rekening "
             "= '"
          << esc(account) << "'";
        if (day)
            s << " AND trans_tanggal <= CURDATE() + INTERVAL " << *day << " DAY";
        return num(s);
    }

    // Every balance routine against the raw rows, for every account and several days.
    void expectAllBalancesExact(const std::string& when) {
        for (const QString& a : kAccounts) {
            for (int day : {-400, -2, -1, 0, 1, 3}) {
                Sql s;
                s << "SELECT `cashless-adm`.GetTabSaldoBuku('" << esc(a)
                  << "', CURDATE() + INTERVAL " << day << " DAY)";
                ASSERT_EQ(num(s), raw(a, day)) << when << ", " << a.toStdString() << " day " << day;
            }
            Sql active;
            active << "SELECT `cashless-adm`.GetTabSaldoAktif('" << esc(a) << "', CURDATE())";
            const long long minimum = a == kAccounts[0] ? 5000 : 0;
            const long long expected = a == kAccounts[3] ? 0 : std::max(raw(a, 0) - minimum, 0LL);
            ASSERT_EQ(num(active), expected) << when << ", " << a.toStdString();
            Sql recompute;
            recompute << "CALL `cashless-adm`.HitungTabSaldoNasabah('" << esc(a) << "')";
            admin->execute(recompute);
            if (a != kAccounts[3]) {
                Sql stored;
                stored << "SELECT tab_saldo_efektif FROM `cashless-adm`.data_tabungan_master "
                          "WHERE tab_rekening = '"
                       << esc(a) << "'";
                ASSERT_EQ(num(stored), raw(a)) << when << ", " << a.toStdString();
            }
        }
        ASSERT_EQ(reconcile(QString(), false).rowCount(), 0) << when;
    }

    Recordset reconcile(const QString& account, bool repair) {
        Sql s;
        s << "CALL `cashless-adm`.RekonsiliasiSaldo(";
        if (account.isEmpty())
            s << "NULL";
        else
            s << "'" << esc(account) << "'";
        s << ", " << (repair ? 1 : 0) << ")";
        return admin->open(s);
    }

    // Routine and trigger texts of `cashless-adm`, to compare two databases by.
    std::map<QString, QString> definitions() {
        std::map<QString, QString> out;
        Recordset r = admin->open(
            Sql("SELECT ROUTINE_NAME, ROUTINE_DEFINITION FROM information_schema.ROUTINES "
                "WHERE ROUTINE_SCHEMA = 'cashless-adm' UNION ALL "
                "SELECT TRIGGER_NAME, ACTION_STATEMENT FROM information_schema.TRIGGERS "
                "WHERE TRIGGER_SCHEMA = 'cashless-adm' UNION ALL "
                "SELECT 'saldo columns', GROUP_CONCAT(COLUMN_NAME, ' ', COLUMN_TYPE, ' ', "
                "COLUMN_KEY ORDER BY ORDINAL_POSITION) FROM information_schema.COLUMNS "
                "WHERE TABLE_SCHEMA = 'cashless-adm' AND TABLE_NAME = 'data_tabungan_saldo'"));
        for (; !r.eof(); r.moveNext())
            out[r.text(QStringLiteral("ROUTINE_NAME"))] =
                r.text(QStringLiteral("ROUTINE_DEFINITION"));
        return out;
    }

    std::unique_ptr<Connection> admin;
};

TEST_F(RunningTotalsTest, RandomLedgerChangesKeepEveryBalanceExact) {
    QRandomGenerator rng(20261207);
    const auto pick = [&](const QStringList& list) { return list[rng.bounded(list.size())]; };
    std::vector<QString> ids;
    int next = 0;
    for (int batch = 0; batch < 30; ++batch) {
        for (int op = 0; op < 100; ++op) {
            const int kind = ids.size() < 20 ? 0 : rng.bounded(7);
            const QString id = ids.empty() ? QString() : ids[rng.bounded(int(ids.size()))];
            const long long amount = rng.bounded(1, 50) * 1000;
            const bool in = rng.bounded(2) == 0;
            Sql s;
            if (kind <= 1) { // twice as many inserts as each kind of change
                ids.push_back(QStringLiteral("P%1").arg(++next));
                s << "INSERT INTO `cashless-adm`.data_tabungan_trans SET trans_id = '"
                  << esc(ids.back()) << "', trans_tanggal = CURDATE() + INTERVAL "
                  << rng.bounded(-3, 3) << " DAY, trans_kode = '" << (in ? 15 : 14)
                  << "', trans_rekening = '" << esc(pick(kAccounts))
                  << "', trans_jumlah_masuk = " << (in ? amount : 0)
                  << ", trans_jumlah_keluar = " << (in ? 0 : amount)
                  << ", trans_status = " << std::array{0, 1, 9}[rng.bounded(3)];
            } else if (kind == 2) {
                s << "UPDATE `cashless-adm`.data_tabungan_trans SET trans_jumlah_masuk = "
                  << (in ? amount : 0) << ", trans_jumlah_keluar = " << (in ? 0 : amount)
                  << " WHERE trans_id = '" << esc(id) << "'";
            } else if (kind == 3) {
                s << "UPDATE `cashless-adm`.data_tabungan_trans SET trans_status = "
                  << std::array{0, 1, 9}[rng.bounded(3)] << " WHERE trans_id = '" << esc(id) << "'";
            } else if (kind == 4) {
                s << "UPDATE `cashless-adm`.data_tabungan_trans SET trans_rekening = '"
                  << esc(pick(kAccounts)) << "', trans_tanggal = CURDATE() + INTERVAL "
                  << rng.bounded(-3, 3) << " DAY WHERE trans_id = '" << esc(id) << "'";
            } else if (kind == 5) {
                s << "DELETE FROM `cashless-adm`.data_tabungan_trans WHERE trans_id = '" << esc(id)
                  << "'";
            } else { // the office confirms or cancels many rows in one statement
                s << "UPDATE `cashless-adm`.data_tabungan_trans SET trans_status = " << (in ? 1 : 9)
                  << " WHERE trans_rekening = '" << esc(pick(kAccounts))
                  << "' AND trans_status = 0";
            }
            admin->execute(s);
        }
        expectAllBalancesExact("after batch " + std::to_string(batch));
        if (HasFatalFailure())
            return;
    }
}

TEST_F(RunningTotalsTest, ReconciliationListsDifferencesAndRebuildsOneAccountOrAll) {
    admin->execute(Sql("UPDATE `cashless-adm`.data_tabungan_saldo SET saldo_buku = 7 "
                       "WHERE saldo_rekening IN ('010100000001', '010100000002')"));
    Recordset r = reconcile(QString(), false);
    ASSERT_EQ(r.rowCount(), 2);
    EXPECT_EQ(r.text(QStringLiteral("rekening")), QStringLiteral("010100000001"));
    EXPECT_EQ(r.value(QStringLiteral("saldo_tercatat")).toLongLong(), 7);
    EXPECT_EQ(r.value(QStringLiteral("saldo_hitung")).toLongLong(), 320000);
    EXPECT_EQ(r.value(QStringLiteral("selisih")).toLongLong(), 319993);
    // Repairing one account leaves the other listed.
    EXPECT_EQ(reconcile(QStringLiteral("010100000002"), true).rowCount(), 1);
    r = reconcile(QString(), false);
    ASSERT_EQ(r.rowCount(), 1);
    EXPECT_EQ(r.text(QStringLiteral("rekening")), QStringLiteral("010100000001"));

    // TRUNCATE goes past the triggers: every total is stale until all are rebuilt.
    admin->execute(Sql("TRUNCATE TABLE `cashless-adm`.data_tabungan_trans"));
    EXPECT_GT(reconcile(QString(), false).rowCount(), 20);
    reconcile(QString(), true);
    EXPECT_EQ(reconcile(QString(), false).rowCount(), 0);
    EXPECT_EQ(num(Sql("SELECT `cashless-adm`.GetTabSaldoBuku('010100000001', CURDATE())")), 0);
}

TEST_F(RunningTotalsTest, UpgradeOfAnOldDatabaseBuildsTheTotalsAndCanRunTwice) {
    const auto fresh = definitions();
    // The database as it was before: no totals, no triggers, rows written meanwhile.
    admin->execute(Sql("DROP TRIGGER `cashless-adm`.data_tabungan_trans_saldo_ins"));
    admin->execute(Sql("DROP TRIGGER `cashless-adm`.data_tabungan_trans_saldo_upd"));
    admin->execute(Sql("DROP TRIGGER `cashless-adm`.data_tabungan_trans_saldo_del"));
    admin->execute(Sql("DROP TABLE `cashless-adm`.data_tabungan_saldo"));
    admin->execute(Sql("DROP PROCEDURE `cashless-adm`.RekonsiliasiSaldo"));
    admin->execute(Sql("DROP PROCEDURE `cashless-adm`.TambahSaldoBerjalan"));
    admin->execute(Sql("INSERT INTO `cashless-adm`.data_tabungan_trans (trans_id, trans_tanggal, "
                       "trans_kode, trans_rekening, trans_jumlah_keluar, trans_status) VALUES "
                       "('OLD1', CURDATE(), '14', '010100000003', 20000, 0), "
                       "('OLD2', CURDATE(), '14', '010100000003', 90000, 9)"));
    QFile upgrade(QStringLiteral(KALINDA_UPGRADE_SQL));
    ASSERT_TRUE(upgrade.open(QIODevice::ReadOnly));
    const QString script = QString::fromUtf8(upgrade.readAll());
    MariaDbServer::instance().runAdminScript(script);
    MariaDbServer::instance().runAdminScript(script);

    EXPECT_EQ(definitions(), fresh);
    EXPECT_EQ(reconcile(QString(), false).rowCount(), 0);
    EXPECT_EQ(num(Sql("SELECT `cashless-adm`.GetTabSaldoAktif('010100000003', CURDATE())")), 95000);
    // The triggers work from here on.
    admin->execute(Sql("UPDATE `cashless-adm`.data_tabungan_trans SET trans_status = 1 "
                       "WHERE trans_id = 'OLD2'"));
    EXPECT_EQ(num(Sql("SELECT `cashless-adm`.GetTabSaldoAktif('010100000003', CURDATE())")), 5000);
}

// Payments to the canteen race transfers into it that lock both accounts' rows in ascending
// order: the totals must not add a lock that makes them deadlock.
TEST_F(RunningTotalsTest, PaymentsAndTransfersIntoOneReceiverDoNotDeadlock) {
    auto kiosk = kioskConnection();
    auto teller = adminConnection(); // the office's program: the guard holds the kiosk to its rows
    // The payment retries a deadlock by itself: count them at the server.
    const auto deadlocks = [&] {
        return scalar(*admin, Sql("SELECT VARIABLE_VALUE FROM information_schema.GLOBAL_STATUS "
                                  "WHERE VARIABLE_NAME = 'INNODB_DEADLOCKS'"))
            .toLongLong();
    };
    const long long before = deadlocks();
    std::atomic<int> failures{0};
    constexpr int kRounds = 60;
    std::thread pays([&] {
        ProductPaymentInput in;
        in.NoRekening = in.txtNorek = QStringLiteral("010100000010");
        in.Rfid = QStringLiteral("0004417010");
        in.cboJenis = QStringLiteral("003 : Jajan Kantin");
        in.txtRekTujuan = QStringLiteral("020100000003");
        in.amount = 100;
        in.balance = 1000000;
        for (int i = 0; i < kRounds; ++i) {
            try {
                postProductPayment(*kiosk, in);
            } catch (const DbError&) {
                ++failures;
            }
        }
    });
    for (int i = 0; i < kRounds; ++i) {
        try {
            Transaction t(*teller);
            teller->open(Sql("SELECT tab_rekening FROM `cashless-adm`.data_tabungan_master WHERE "
                             "tab_rekening IN ('010100000008', '020100000003') "
                             "ORDER BY tab_rekening FOR UPDATE"));
            Sql debit, credit;
            debit << "INSERT INTO `cashless-adm`.data_tabungan_trans SET trans_id = 'TRF" << i
                  << "', trans_tanggal = NOW(), trans_kode = '14', trans_rekening = "
                     "'010100000008', trans_jumlah_keluar = 10, trans_status = 0";
            credit << "INSERT INTO `cashless-adm`.data_tabungan_trans SET trans_id = 'TRF" << i
                   << "##', trans_tanggal = NOW(), trans_kode = '15', trans_rekening = "
                      "'020100000003', trans_jumlah_masuk = 10, trans_status = 0";
            teller->execute(debit);
            teller->execute(credit);
            teller->execute(Sql("CALL `cashless-adm`.HitungTabSaldoNasabah('010100000008')"));
            teller->execute(Sql("CALL `cashless-adm`.HitungTabSaldoNasabah('020100000003')"));
            t.commit();
        } catch (const DbError&) {
            ++failures;
        }
    }
    pays.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(deadlocks(), before);
    EXPECT_EQ(reconcile(QString(), false).rowCount(), 0);
    EXPECT_EQ(num(Sql("SELECT tab_saldo_efektif FROM `cashless-adm`.data_tabungan_master "
                      "WHERE tab_rekening = '020100000003'")),
              raw(QStringLiteral("020100000003")));
}

} // namespace
