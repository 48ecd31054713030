#include "postings/block_account.h"
#include "postings/pin_change.h"
#include "postings/posting.h"
#include "race_table.h"
#include "support/mariadb_server.h"
#include "support/tcp_proxy.h"

#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

using namespace kalinda;
using namespace kalinda::test;

namespace {

// Siti Aminah: account 010100000002, card 0004417002, PIN 234567, registration SPD2024002.
const QString kSiti = QStringLiteral("010100000002");

PinChangeInput sitiChanges(const char* pinLama, const QString& pinBaru) {
    return {kSiti, "0004417002", "Siti Aminah", "7A", pinLama, pinBaru};
}

class PinBlockTest : public ::testing::Test {
protected:
    void SetUp() override {
        MariaDbServer::instance().resetDatabase();
        admin = adminConnection();
        db = kioskConnection();
    }

    std::unique_ptr<Connection> admin;
    std::unique_ptr<Connection> db;
};

TEST_F(PinBlockTest, StatementsAreThoseOfTheChangeAndTheBlock) {
    StatementRecorder recorder;
    changePin(*db, sitiChanges("234567", QStringLiteral("111111")));
    EXPECT_EQ(maskMarks(recorder.statements()).join(QLatin1Char('\n')),
              QStringLiteral(
                  "SET TRANSACTION ISOLATION LEVEL READ COMMITTED\n"
                  "START TRANSACTION\n"
                  "SELECT tab_rekening, tab_rfid, tab_status FROM `cashless-adm`."
                  "data_tabungan_master WHERE tab_rekening = '010100000002' FOR UPDATE\n"
                  "SELECT `cashless-adm`.GetTabSaldoAktif('010100000002', CURDATE()) as "
                  "SaldoAktif\n"
                  "SELECT tab_pin FROM `cashless-adm`.data_tabungan_master WHERE tab_rekening = "
                  "'010100000002' AND tab_pin = '234567'\n"
                  "UPDATE `cashless-adm`.data_tabungan_master SET tab_pin = '111111' WHERE "
                  "tab_rekening = '010100000002'\n"
                  "INSERT INTO log_transaksi SET log_tanggal = NOW(), log_time = NOW(), log_user "
                  "= '', log_rekening = '010100000002', log_rfid = '0004417002', log_nama = 'Siti "
                  "Aminah', log_kelas = '7A', log_transaksi = 'GANTI PIN', log_keterangan = "
                  "'GANTI PIN SUKSES' \n"
                  "INSERT INTO data_posting_tanda (tanda_kode) VALUES ('<tanda>')\n"
                  "COMMIT"));
    EXPECT_TRUE(pinChangeStored(*db, kSiti, QStringLiteral("111111")));
    recorder.clear();
    blockAccount(*db, blockFromIdle("SPD2024002", QStringLiteral("111111")));
    EXPECT_EQ(maskMarks(recorder.statements()).join(QLatin1Char('\n')),
              QStringLiteral(
                  "START TRANSACTION\n"
                  "SELECT tab_rekening, GetNasabahNama(tab_nasabah) as Nama, "
                  "GetNasabahKelas(tab_nasabah) as Kelas FROM `cashless-adm`.data_tabungan_master "
                  "WHERE tab_alternatif = 'SPD2024002' AND tab_pin = '111111' LIMIT 1\n"
                  "SELECT tab_rfid FROM `cashless-adm`.data_tabungan_master WHERE tab_rekening = "
                  "'010100000002' AND tab_alternatif = 'SPD2024002' AND tab_pin = '111111' FOR "
                  "UPDATE\n"
                  "UPDATE `cashless-adm`.data_tabungan_master SET tab_rfid = CONCAT('#', "
                  "tab_rfid), tab_pin = 582931 WHERE tab_rekening = '010100000002'\n"
                  "INSERT INTO log_transaksi SET log_tanggal = NOW(), log_time = NOW(), log_user "
                  "= '', log_rekening = '010100000002', log_nama = 'Siti Aminah', log_kelas = "
                  "'7A', log_transaksi = 'BLOKIR ACCOUNT', log_keterangan = 'BLOKIR ACCOUNT "
                  "SUKSES' \n"
                  "INSERT INTO data_posting_tanda (tanda_kode) VALUES ('<tanda>')\n"
                  "COMMIT"));
    EXPECT_TRUE(blockStored(*db, kSiti, QStringLiteral("0004417002")));
    // A quote typed into a box stays text: it cannot widen the lookup to other accounts.
    EXPECT_EQ(blockAccount(*db, blockFromIdle("'OR 1#", "'OR 1#")).outcome,
              BlockResult::Outcome::NotFound);
}

// The keypad types capitals; the office stored this registration id in small letters.
TEST_F(PinBlockTest, ARegistrationIdInSmallLettersIsBlockedTypedInCapitals) {
    admin->execute(Sql("UPDATE `cashless-adm`.data_tabungan_master SET tab_alternatif = "
                       "'spd2024002' WHERE tab_rekening = '010100000002'"));
    EXPECT_EQ(registrationAccounts(*db, QStringLiteral("SPD2024002")), QStringList{kSiti});
    EXPECT_EQ(blockAccount(*db, blockFromIdle("SPD2024002", QStringLiteral("234567"))).outcome,
              BlockResult::Outcome::Blocked);
    EXPECT_TRUE(blockStored(*db, kSiti, QStringLiteral("0004417002")));
}

TEST_F(PinBlockTest, ARefusedLogRowLeavesThePinAndTheCardAsTheyWere) {
    admin->execute(Sql("CREATE TRIGGER refuse_success BEFORE INSERT ON log_transaksi FOR EACH ROW "
                       "IF NEW.log_keterangan LIKE '%SUKSES' THEN SIGNAL SQLSTATE '45000' "
                       "SET MESSAGE_TEXT = 'log refused'; END IF"));
    EXPECT_THROW(changePin(*db, sitiChanges("234567", QStringLiteral("111111"))), DbError);
    EXPECT_THROW(blockAccount(*db, blockFromIdle("SPD2024002", QStringLiteral("234567"))), DbError);
    EXPECT_TRUE(pinChangeStored(*db, kSiti, QStringLiteral("234567")));
    EXPECT_FALSE(blockStored(*db, kSiti, QStringLiteral("0004417002")));
}

TEST_F(PinBlockTest, APinChangedWhileTheBlockWaitedForTheRowIsLookedUpAgain) {
    admin->begin();
    admin->execute(Sql("UPDATE `cashless-adm`.data_tabungan_master SET tab_pin = '111111' WHERE "
                       "tab_rekening = '010100000002'"));
    auto blocked = std::async(std::launch::async, [&] {
        return blockAccount(*db, blockFromIdle("SPD2024002", QStringLiteral("234567")));
    });
    // The lookup still sees the old PIN; the change commits while the block waits for the row.
    const Sql waiting("SELECT COUNT(*) FROM information_schema.processlist WHERE info LIKE "
                      "'SELECT tab_rfid %FOR UPDATE'");
    int polls = 0;
    while (scalarInt(*admin, waiting) == 0 && ++polls < 500)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_LT(polls, 500) << "the block never waited for the row";
    admin->commit();
    EXPECT_EQ(blocked.get().outcome, BlockResult::Outcome::NotFound);
    EXPECT_FALSE(blockStored(*db, kSiti, QStringLiteral("0004417002")));
}

// A lost COMMIT settled after the office gave the card back, or after the PIN was changed
// again: the attempt's own log row still tells that it was stored.
TEST_F(PinBlockTest, ALostCommitIsFoundStoredAfterTheAccountChangedAgain) {
    const std::function<void(Connection&)> postings[] = {
        [](Connection& k) { changePin(k, sitiChanges("234567", QStringLiteral("111111"))); },
        [](Connection& k) { blockAccount(k, blockFromIdle("SPD2024002", "234567")); },
    };
    for (const auto& post : postings) {
        TcpProxy proxy(MariaDbServer::instance().port());
        Connection kiosk;
        kiosk.connect(kioskParamsThrough(proxy));
        proxy.cutAt(QByteArray("\x03"
                               "COMMIT"),
                    TcpProxy::Cut::AfterSendingThenHold);
        const auto lost = lostPosting([&] { post(kiosk); });
        ASSERT_TRUE(lost && lost->proof());
        admin->execute(Sql("UPDATE `cashless-adm`.data_tabungan_master SET tab_rfid = "
                           "'0004417002', tab_pin = '234567' WHERE tab_rekening = '010100000002'"));
        proxy.hold(false);
        EXPECT_TRUE(isPostingStored(kiosk, *lost->proof(), lost->lostSession()))
            << lost->proof()->id.toStdString();
    }
}

} // namespace
