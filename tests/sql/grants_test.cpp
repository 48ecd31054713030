#include "app/heartbeat.h"
#include "postings/fee_payment.h"
#include "postings/shop_order.h"
#include "support/mariadb_server.h"

#include <QDate>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>
#include <latch>
#include <thread>

namespace kalinda::test {

// What a copied password could be used for: each refused for want of a right.
TEST(GrantsTest, KioskUserCannotRewriteBalancesOrLedgerNorDelete) {
    const SqlText refused[] = {
        "UPDATE `cashless-adm`.data_tabungan_master SET tab_saldo_efektif = 9000000",
        "UPDATE `cashless-adm`.data_tabungan_trans SET trans_jumlah_masuk = 9000000",
        "DELETE FROM `cashless-adm`.data_tabungan_trans WHERE trans_kode = '14'",
        "CALL `cashless-adm`.TambahSaldoBerjalan('010100000003', 9000000)",
        "SELECT hb_mesin FROM data_kiosk_heartbeat", // the kiosks' addresses, only StatusKiosk
        "UPDATE data_kiosk_heartbeat SET hb_terakhir = NOW()", // every kiosk alive at once
        "DELETE FROM data_posting_tanda", // stored postings in doubt settled as not booked
        "UPDATE data_posting_tanda SET tanda_waktu = NOW() - INTERVAL 1 YEAR",
    };
    for (const SqlText& statement : refused) {
        try {
            kioskConnection()->execute(Sql(statement));
            ADD_FAILURE() << "allowed: " << statement.text();
        } catch (const DbError& e) {
            EXPECT_TRUE(e.code() == 1142 || e.code() == 1143 || e.code() == 1370) << e.what();
        }
    }
}

// The mariadb client as an attacker holding the kiosk's password runs it; what it printed on
// error, empty when the statements went through.
QString asKioskClient(const QString& sql) {
    const ConnectParams p = MariaDbServer::instance().kioskParams();
    QProcess client;
    client.start(QStringLiteral("mariadb"),
                 {"--local-infile=1", "-h", p.host, "-P", QString::number(p.port), "-u", p.user,
                  "-p" + p.password, p.database, "-e", sql});
    client.waitForFinished();
    return QString::fromUtf8(client.readAllStandardError());
}

// Attacks with the kiosk's password alone, in turn on one database. Each ends refused by the
// guard, which names its rule (the failed statement stores nothing), or, marked "+", stored and
// listed by the audit under that kind. Afterwards the balances add up to what they did, none is
// below its minimum, and a fee payment and a shop order still go through.
TEST(GrantsTest, AttacksWithTheKioskPasswordAreRefusedOrListed) {
    MariaDbServer::instance().resetDatabase();
    auto admin = adminConnection();
    const Sql total("SELECT SUM(saldo_buku) FROM `cashless-adm`.data_tabungan_saldo");
    const long long before = scalarInt(*admin, total);
    // Nur Aisyah (15.000) pays the canteen 1.000 as a product payment writes it; each attack
    // changes that row, the session or the statement.
    // One SET reads every variable before it sets any.
    const Sql row("SET @id = CONCAT('KLD', DATE_FORMAT(CURDATE(), '%y%m%d'), '654321'), @kredit "
                  "= CONCAT('KLD', DATE_FORMAT(CURDATE(), '%y%m%d'), '654321##'), @seq = "
                  "CONCAT('KLD', DATE_FORMAT(CURDATE(), '%Y%m%d')), "
                  "@odr = CONCAT('ODR', DATE_FORMAT(CURDATE(), '%y%m%d')), @mundur = 0, @kode = "
                  "'14', @dari = '010100000005', @kartu = '0004417005', @ke = '020100000003', "
                  "@masuk = 0, @keluar = 1000, @akhir = 14000, @status = 0, @alias = 'KLD|', "
                  "@kantor = '01', @order = NULL");
    const Sql ledger("INSERT INTO `cashless-adm`.data_tabungan_trans SET trans_id = @id, "
                     "trans_tanggal = NOW() - INTERVAL @mundur DAY, trans_kode = @kode, "
                     "trans_kantor = @kantor, trans_rekening = @dari, trans_rfid = @kartu, "
                     "trans_ob_jenis = 1, trans_ob_rekening = @ke, trans_jumlah_masuk = @masuk, "
                     "trans_jumlah_keluar = @keluar, trans_saldo_akhir = @akhir, trans_kuitansi "
                     "= @order, trans_status = @status, trans_reg_date = NOW(), trans_reg_time = "
                     "NOW(), trans_reg_alias = @alias");
    const Sql credit("SET @id = @kredit, @kode = '15', @dari = @ke, @ke = @dari, @masuk = "
                     "@keluar, @keluar = 0, @akhir = NULL");
    const Sql pair("INSERT IGNORE INTO `cashless-adm`.data_tabungan_trans (trans_id, "
                   "trans_tanggal, trans_kode, trans_rekening, trans_rfid, trans_ob_jenis, "
                   "trans_ob_rekening, trans_jumlah_masuk, trans_jumlah_keluar, trans_saldo_akhir, "
                   "trans_status, trans_reg_date, trans_reg_time, trans_reg_alias) VALUES (@id, "
                   "NOW(), '14', @dari, @kartu, 1, @ke, 0, @keluar, @akhir, 0, NOW(), NOW(), "
                   "'KLD|'), (@kredit, NOW(), '15', @ke, @kartu, 1, @dari, @keluar, 0, NULL, 0, "
                   "NOW(), NOW(), 'KLD|')");
    const Sql copy("INSERT INTO data_transaksi SET trans_id = @id, trans_tanggal = NOW(), "
                   "trans_kode = '14', trans_rekening = @dari, trans_jumlah = @keluar, "
                   "trans_saldo_awal = @akhir + @keluar, trans_saldo_akhir = @akhir, trans_status "
                   "= 0, trans_reg_date = NOW(), trans_reg_time = NOW()");
    const Sql order("INSERT INTO `aio-kirna`.data_barang_order SET order_kode = @kode_order, "
                    "order_tanggal = NOW() - INTERVAL @mundur DAY, order_rekening = @dari, "
                    "order_harga = @harga, order_kirim = 'Siang', order_status = @status_order, "
                    "order_reg_date = NOW()");
    const Sql line("INSERT INTO `aio-kirna`.data_barang_order_list SET list_order = @kode_order, "
                   "list_barang = 'K001', list_harga = @harga_baris, list_qty = 1, list_jumlah = "
                   "@jumlah_baris, list_status = 1, list_reg_date = NOW()");
    const Sql anOrder("SET @kode_order = CONCAT(@odr, '001'), @harga = 20000, @status_order = 1, "
                      "@harga_baris = 19000, @jumlah_baris = 19000");
    const struct {
        std::vector<Sql> kiosk; // run after `row`; all but the last must go through
        const char* outcome;
        Sql admin = Sql("DO 0"); // run first
    } attacks[] = {
        {{credit, ledger}, "kredit tanpa debit"}, // money from nowhere to one's own account
        {{pair, Sql("SET @kredit = CONCAT(LEFT(@id, 9), '111111##')"), pair},
         "kredit tanpa debit"}, // its debit a duplicate that IGNORE drops
        {{Sql("SET @status = 1"), ledger}, "trans_status"},
        {{Sql("SET @keluar = -500000, @akhir = 515000"), ledger}, "keluar > 0"},
        {{Sql("SET @id = 'ADM9900000002'"), ledger}, "trans_id"},
        {{Sql("SET @mundur = 40"), ledger}, "trans_tanggal"},
        {{Sql("SET timestamp = UNIX_TIMESTAMP() - 40 * 86400"), ledger}, "waktu sesi"},
        {{Sql("SET time_zone = '+13:00'"), ledger}, "waktu sesi"},
        {{Sql("SET @keluar = 15000, @akhir = 1"), ledger}, "saldo tabungan"}, // all of it
        {{Sql("SET @alias = 'ADM|'"), ledger}, "trans_reg_alias"},
        {{Sql("SET @kantor = '02'"), ledger}, "trans_kantor"},
        {{Sql("SET @kode = '１４'"), ledger}, "14: keluar"}, // full-width digits
        {{Sql("SET @order = 'ODR1'"), ledger}, "trans_kuitansi"},
        {{Sql("SET @id = CONCAT(@seq, '9999')"), ledger}, "melompati"}, // the day's last number
        {{Sql("SET @kartu = '0004417001'"), ledger}, "pembayar harus aktif"},
        {{Sql("SET @dari = '010100000015', @kartu = '0004417015'"), ledger}, "pembayar"},
        {{Sql("SET @dari = '010100000016', @kartu = '#0004417016'"), ledger}, "pembayar"},
        {{Sql("SET @dari = '020100000003', @kartu = '', @ke = '020100000001'"), ledger},
         "pembayar"}, // an institution's account has no card
        {{Sql("SET @ke = '019999999999'"), ledger}, "rekening tujuan harus ada"},
        {{Sql("SET @ke = '010100000015'"), ledger}, "tujuan transfer harus aktif"},
        {{Sql("SET @dari = '010100000010', @kartu = '0004417010', @ke = '010100000011', "
              "@keluar = 240000, @akhir = 10000"),
          ledger},
         "limit transfer"},
        {{Sql("SET @ke = '020100000099'"), ledger}, "dengan kode order"},
        {{Sql("SET @dari = '010100000008', @kartu = '0004417008', @ke = '020100000099', "
              "@keluar = 30000, @akhir = 470000, @order = CONCAT(@odr, '001')"),
          anOrder, Sql("SET @harga = 30000"), order, ledger},
         "kuota jajan"},
        {{anOrder, Sql("SET @kode_order = CONCAT(@odr, '999')"), order}, "nomor order"},
        {{anOrder, Sql("SET @kode_order = CONCAT(@odr, '002'), @status_order = 0"), order},
         "order_status"},
        {{anOrder, Sql("SET @kode_order = CONCAT(@odr, '002'), @mundur = 1"), order},
         "order_tanggal"},
        {{anOrder, Sql("SET @kode_order = CONCAT(@odr, '002'), @dari = '010100000015'"), order},
         "order_rekening"},
        {{anOrder, Sql("SET @kode_order = CONCAT(@odr, '002')"), order,
          Sql("SET @harga_baris = 555000, @jumlah_baris = 555000"), line},
         "baris order"},
        {{anOrder, Sql("SET @kode_order = CONCAT(@odr, '003')"), order,
          Sql("SET @jumlah_baris = 1000"), line},
         "baris order"},
        {{Sql("SET @id = CONCAT(LEFT(@id, 9), '222222'), @kredit = CONCAT(LEFT(@id, 9), "
              "'222222##')"),
          pair, copy, Sql("SET @id = CONCAT(@id, '#')"), copy},
         "+SALINAN_GANDA"},
        {{Sql("SET @id = CONCAT(LEFT(@id, 9), '333333'), @keluar = 5000, @akhir = 10000"), copy},
         "yang sama", // a copy of a debit that another writer wrote
         Sql("INSERT INTO `cashless-adm`.data_tabungan_trans SET trans_id = CONCAT('KLD', "
             "DATE_FORMAT(CURDATE(), '%y%m%d'), '333333'), trans_tanggal = NOW(), trans_kode = "
             "'14', trans_rekening = '010100000005', trans_jumlah_keluar = 5000, "
             "trans_saldo_akhir = 10000, trans_status = 9, trans_reg_time = NOW()")},
        {{Sql("INSERT INTO `aio-kirna`.data_transaksi SET trans_id = CONCAT(@seq, '0001'), "
              "trans_tanggal = NOW(), trans_kode = '14', trans_rekening = '010100000005', "
              "trans_jumlah = 5000, trans_saldo_awal = 15000, trans_saldo_akhir = 10000, "
              "trans_status = 0, trans_reg_date = NOW(), trans_reg_time = NOW()")},
         "tanpa debit"}, // an order marked paid by its copy alone
        {{Sql("UPDATE `cashless-adm`.data_tabungan_master SET tab_rfid = '0004417001' WHERE "
              "tab_rekening = '020100000003'")},
         "tab_rfid"}, // a card bound to the canteen's account
        {{Sql("UPDATE `cashless-adm`.data_tabungan_master SET tab_pin = '１２３４５６' WHERE "
              "tab_rekening = '010100000001'")},
         "tab_pin"},
        {{Sql("SET @id = CONCAT(LEFT(@id, 9), '444444'), @keluar = 2000, @akhir = 12000"), ledger},
         "+DEBIT_TANPA_KREDIT"},
        {{Sql("INSERT INTO log_transaksi SET log_tanggal = NOW(), log_time = NOW(), "
              "log_rekening = '010100000005', log_keterangan = 'TRANSAKSI BERHASIL', "
              "log_transid = CONCAT(@seq, '0042')")},
         "+LOG_TANPA_MUTASI"},
        {{anOrder,
          Sql("SET @kode_order = CONCAT(@odr, '004'), @harga = 555000, @harga_baris = 555000, "
              "@jumlah_baris = 555000"),
          order, line},
         "+PESANAN_TANPA_BAYAR"},
        {{Sql("UPDATE `cashless-adm`.data_tabungan_master SET tab_pin = '000000' WHERE "
              "tab_jenis = 1")},
         "+UBAH_KARTU_PIN_BANYAK"}, // every student's PIN
        // 2.100 debits of 1 rupiah and 2.099 credits: the audit still answers.
        {{Sql("SET @dari = '010100000008', @kartu = '0004417008', max_recursive_iterations = "
              "10000"),
          Sql("INSERT INTO `cashless-adm`.data_tabungan_trans (trans_id, trans_tanggal, "
              "trans_kode, trans_rekening, trans_rfid, trans_ob_jenis, trans_ob_rekening, "
              "trans_jumlah_keluar, trans_saldo_akhir, trans_status, trans_reg_date, "
              "trans_reg_time, trans_reg_alias) WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
              "SELECT i + 1 FROM n WHERE i < 2100) SELECT CONCAT(LEFT(@id, 9), 500000 + i), "
              "NOW(), '14', @dari, @kartu, 1, @ke, 1, 1, 0, NOW(), NOW(), 'KLD|' FROM n"),
          Sql("INSERT INTO `cashless-adm`.data_tabungan_trans (trans_id, trans_tanggal, "
              "trans_kode, trans_rekening, trans_rfid, trans_ob_jenis, trans_ob_rekening, "
              "trans_jumlah_masuk, trans_status, trans_reg_date, trans_reg_time, "
              "trans_reg_alias) WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
              "WHERE i < 2099) SELECT CONCAT(LEFT(@id, 9), 500000 + i, '##'), NOW(), '15', @ke, "
              "@kartu, 1, @dari, 1, 0, NOW(), NOW(), 'KLD|' FROM n")},
         "+DEBIT_TANPA_KREDIT"},
        // Numbers of the day walked one by one in one statement, past the writer's limit.
        {{Sql("INSERT INTO `cashless-adm`.data_tabungan_trans (trans_id, trans_tanggal, "
              "trans_kode, trans_rekening, trans_rfid, trans_ob_jenis, trans_ob_rekening, "
              "trans_jumlah_keluar, trans_saldo_akhir, trans_status, trans_reg_date, "
              "trans_reg_time, trans_reg_alias) SELECT CONCAT(@seq, '000', i), NOW(), '14', "
              "@dari, @kartu, 1, @ke, 1, 1, 0, NOW(), NOW(), 'KLD|' FROM (SELECT 1 i UNION "
              "SELECT 2 UNION SELECT 3) n")},
         "terlalu banyak nomor",
         Sql("UPDATE `cashless-adm`.data_kiosk_akun SET akun_nomor_per_menit = 2")},
    };
    QStringList listed;
    for (const auto& attack : attacks) {
        admin->execute(attack.admin);
        auto kiosk = kioskConnection();
        kiosk->execute(row);
        const std::string last = attack.kiosk.back().plainText().toStdString();
        for (std::size_t i = 0; i + 1 < attack.kiosk.size(); ++i)
            kiosk->execute(attack.kiosk[i]);
        const QString outcome = QString::fromUtf8(attack.outcome);
        try {
            kiosk->execute(attack.kiosk.back());
            EXPECT_TRUE(outcome.startsWith('+')) << "stored: " << last;
            listed << outcome.mid(1);
        } catch (const DbError& e) {
            EXPECT_TRUE(e.code() == 1644 && e.message().contains(outcome)) << e.what() << last;
        }
    }
    // The same duplicate debit and its credit loaded from a file.
    const QString day = QDate::currentDate().toString(QStringLiteral("yyMMdd"));
    QTemporaryDir dir(QString::fromLocal8Bit(testTempRoot()) + QStringLiteral("/load-XXXXXX"));
    QFile file(dir.filePath(QStringLiteral("pair.tsv")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(("KLD" + day + "654321\t14\t010100000005\t020100000003\t0\t1000\t14000\nKLD" + day +
                "777777##\t15\t020100000003\t010100000005\t1000\t0\t\\N\n")
                   .toUtf8());
    file.close();
    const QString loaded =
        asKioskClient(QStringLiteral("LOAD DATA LOCAL INFILE '%1' IGNORE INTO TABLE "
                                     "`cashless-adm`.data_tabungan_trans (trans_id, trans_kode, "
                                     "trans_rekening, trans_ob_rekening, trans_jumlah_masuk, "
                                     "trans_jumlah_keluar, trans_saldo_akhir) SET trans_tanggal = "
                                     "NOW(), trans_rfid = '0004417005', trans_ob_jenis = 1, "
                                     "trans_reg_date = NOW(), trans_reg_time = NOW(), "
                                     "trans_reg_alias = 'KLD|'")
                          .arg(file.fileName()));
    EXPECT_TRUE(loaded.contains(QStringLiteral("kredit tanpa debit"))) << loaded.toStdString();

    Sql audit;
    audit << "CALL `cashless-adm`.AuditTransaksiKiosk(CURDATE(), CURDATE(), NULL, '"
          << esc(MariaDbServer::instance().kioskParams().database) << "')";
    QStringList kinds;
    for (Recordset r = admin->open(audit); !r.eof(); r.moveNext())
        kinds << r.text(QStringLiteral("jenis"));
    for (const QString& kind : listed)
        EXPECT_TRUE(kinds.contains(kind)) << kind.toStdString();
    EXPECT_FALSE(kinds.contains(QStringLiteral("SALDO_DI_BAWAH_MINIMUM")));
    EXPECT_EQ(scalarInt(*admin, total), before - 2001); // the lone debits: 2.000 and 1
    EXPECT_TRUE(admin->open(Sql("CALL `cashless-adm`.RekonsiliasiSaldo(NULL, 0)")).eof());

    // The kiosk still posts: a fee payment and a shop order.
    admin->execute(Sql("UPDATE `cashless-adm`.data_kiosk_akun SET akun_nomor_per_menit = 60"));
    auto kiosk = kioskConnection();
    FeePaymentInput fee;
    fee.NoRekening = fee.txtNorek = QStringLiteral("010100000002");
    fee.Rfid = fee.txtRfid = QStringLiteral("0004417002");
    fee.rekTujuan = QStringLiteral("020100000010");
    fee.amount = 5000;
    fee.balance = 150000;
    EXPECT_EQ(postFeePayment(*kiosk, fee).outcome, FeePaymentResult::Outcome::Posted);
    ShopOrderInput shop;
    shop.NoRekening = shop.txtNorek = fee.NoRekening;
    shop.Rfid = shop.txtRfid = fee.Rfid;
    shop.shopAccount = QStringLiteral("020100000099");
    shop.deliverySlot = QStringLiteral("Siang");
    shop.balance = 145000;
    shop.cart.add(ShopCart::lineFromEntry(QStringLiteral("K007 : Pulpen"), 2500, 6, 15000));
    EXPECT_EQ(postShopOrder(*kiosk, shop).outcome, ShopOrderResult::Outcome::Posted);
}

// Sessions that debit one account at once queue on its row under REPEATABLE READ too: each
// sees the debits before it, so one is posted and the others are refused for the balance.
TEST(GrantsTest, DebitsOfOneAccountAtOnceQueueAndNeverOverdraw) {
    MariaDbServer::instance().resetDatabase();
    const struct {
        int sessions;
        const char* account;
        int amount; // of a balance of 15.000 and 25.000
    } rounds[] = {{2, "010100000005", 10000}, {5, "010100000019", 20000}};
    for (const auto& r : rounds) {
        std::latch start(r.sessions);
        std::atomic<int> posted{0};
        std::vector<std::thread> kiosks;
        for (int k = 0; k < r.sessions; ++k)
            kiosks.emplace_back([&, k] {
                auto kiosk = kioskConnection();
                kiosk->execute(Sql("SET SESSION TRANSACTION ISOLATION LEVEL REPEATABLE READ"));
                const std::vector<Sql> pair = kioskShapedPair(
                    QString::fromLatin1(r.account), r.amount, 700000 + 10 * r.sessions + k);
                kiosk->execute(pair[0]);
                start.arrive_and_wait();
                try {
                    Transaction t(*kiosk);
                    for (std::size_t side = 1; side < pair.size(); ++side) {
                        kiosk->execute(pair[side]);
                        std::this_thread::sleep_for(std::chrono::milliseconds(200));
                    }
                    t.commit();
                    ++posted;
                } catch (const DbError& e) {
                    EXPECT_TRUE(e.message().contains(QStringLiteral("saldo tabungan"))) << e.what();
                }
            });
        for (auto& k : kiosks)
            k.join();
        EXPECT_EQ(posted.load(), 1) << r.sessions << " sessions";
        Sql left;
        left << "SELECT `cashless-adm`.GetTabSaldoBuku('" << esc(r.account) << "', CURDATE())";
        EXPECT_GT(scalarInt(*adminConnection(), left), 0);
    }
}

// Two kiosks with accounts of their own and the watchdog on (bound 1 s): neither sees, ends,
// outlasts or stands in for the other, nor takes more than its connections; one removed is out.
TEST(GrantsTest, KioskAccountsCannotSpyOnEndOutlastOrImpersonateEachOther) {
    MariaDbServer::instance().resetDatabase();
    auto admin = adminConnection();
    const auto connectAs = [](const char* name) {
        ConnectParams p = MariaDbServer::instance().kioskParams();
        p.user = QString::fromLatin1(name);
        p.password = p.user + QStringLiteral("-sandi-rahasia");
        auto c = std::make_unique<Connection>();
        c->connect(p);
        return c;
    };
    admin->execute(Sql("CALL TambahAkunKiosk('kiosk_a', '%', 'kiosk_a-sandi-rahasia', NULL)"));
    admin->execute(Sql("CALL TambahAkunKiosk('kiosk_b', '%', 'kiosk_b-sandi-rahasia', NULL)"));
    admin->execute(Sql("UPDATE `cashless-adm`.data_kiosk_akun SET akun_batas_detik = 1 WHERE "
                       "akun_bersama = 0"));
    admin->execute(Sql("SET GLOBAL event_scheduler = ON"));
    const auto off = qScopeGuard([&] { admin->execute(Sql("SET GLOBAL event_scheduler = OFF")); });
    auto b = connectAs("kiosk_b");
    writeHeartbeat(*b, {QStringLiteral("B-PC"), {}, {}, {}, {}, {}, {}, -86400, {}, 0, false});
    auto a = connectAs("kiosk_a");
    Sql killB;
    killB << "KILL " << static_cast<long long>(b->sessionId());
    for (const auto& [statement, refused] :
         {std::pair{killB, 1095u},
          {Sql("CALL CatatHeartbeat('B-PC', '', '', '', '', '', '', 0, '', 0, 0)"), 1644u},
          {Sql("SET GLOBAL event_scheduler = OFF"), 1227u}}) {
        try {
            a->execute(statement);
            ADD_FAILURE() << "allowed: " << statement.plainText().toStdString();
        } catch (const DbError& e) {
            EXPECT_EQ(e.code(), refused) << e.what();
        }
    }
    EXPECT_EQ(scalarInt(*a, Sql("SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE "
                                "USER <> 'kiosk_a'")),
              0);
    // A last posting a day ahead was taken as now.
    EXPECT_EQ(scalarInt(*admin, Sql("SELECT COUNT(*) FROM data_kiosk_heartbeat WHERE hb_akun = "
                                    "'kiosk_b' AND hb_posting_terakhir <= NOW()")),
              1);
    std::vector<std::unique_ptr<Connection>> flood(8);
    for (auto& c : flood)
        c = connectAs("kiosk_a"); // with `a`, the ninth
    EXPECT_TRUE(flood[6]->status() == 0 && flood[7]->status() == 1);
    EXPECT_TRUE(flood[7]->lastError().contains(QStringLiteral("max_user_connections")));
    flood.clear();

    // A lock held with the session's own bounds off and a long statement: both ended, and the
    // administrator's own transaction left alone.
    for (const Sql& statement :
         {Sql("SET SESSION idle_transaction_timeout = 0"), Sql("START TRANSACTION"),
          Sql("SELECT tab_rekening FROM `cashless-adm`.data_tabungan_"
              "master WHERE tab_rekening = '020100000010' FOR UPDATE")})
        a->execute(statement);
    admin->execute(Sql("START TRANSACTION"));
    admin->execute(Sql("SELECT tab_rekening FROM `cashless-adm`.data_tabungan_master WHERE "
                       "tab_rekening = '020100000003' FOR UPDATE"));
    std::thread longStatement(
        [&] { EXPECT_ANY_THROW(connectAs("kiosk_b")->execute(Sql("DO SLEEP(60)"))); });
    auto other = kioskConnection();
    other->execute(Sql("SET SESSION innodb_lock_wait_timeout = 20")); // a busy machine's events
    other->execute(Sql("START TRANSACTION"));
    EXPECT_NO_THROW(other->execute(Sql("SELECT tab_rekening FROM `cashless-adm`.data_tabungan_"
                                       "master WHERE tab_rekening = '020100000010' FOR UPDATE")));
    longStatement.join();
    EXPECT_EQ(scalarInt(*admin, Sql("SELECT @@in_transaction")), 1);
    other->execute(Sql("ROLLBACK"));
    admin->execute(Sql("ROLLBACK"));
    Sql audit;
    audit << "CALL `cashless-adm`.AuditTransaksiKiosk(CURDATE(), CURDATE(), NULL, NULL)";
    QStringList ended;
    for (Recordset r = admin->open(audit); !r.eof(); r.moveNext())
        if (r.text(QStringLiteral("jenis")) == QLatin1String("SESI_DIAKHIRI"))
            ended << r.text(QStringLiteral("penulis")).section(u'@', 0, 0) + QLatin1Char(' ') +
                         r.text(QStringLiteral("keterangan")).section(u' ', 0, 0);
    ended.sort();
    EXPECT_EQ(ended, QStringList({"kiosk_a transaksi", "kiosk_b perintah"}));
    // Removed: its sessions end and it logs in no more.
    admin->execute(Sql("CALL HapusAkunKiosk('kiosk_b')"));
    EXPECT_THROW(b->execute(Sql("DO 1")), DbError);
    EXPECT_EQ(connectAs("kiosk_b")->status(), 1);
}

// A user made for `hosts` the way `scripts/db users` makes it; false when the load refused.
bool connectsAfterLoad(const QString& password, const QString& hosts, const QString& tls = {}) {
    QTemporaryDir dir(QString::fromLocal8Bit(testTempRoot()) + QStringLiteral("/users-XXXXXX"));
    const QString out = dir.filePath(QStringLiteral("users.sql"));
    ConnectParams p = MariaDbServer::instance().kioskParams();
    p.user = QStringLiteral("kalinda_probe");
    p.password = password;
    if (QProcess::execute(QStringLiteral(KALINDA_CMAKE),
                          {"-DOUT=" + out, "-DKIOSK_USER=" + p.user, "-DKIOSK_PASSWORD=" + password,
                           "-DKIOSK_HOSTS=" + hosts, "-DKIOSK_DB=" + p.database,
                           "-DKIOSK_REQUIRE_TLS=" + tls, QStringLiteral("-DUSERS_ONLY=ON"),
                           QStringLiteral("-P"), QStringLiteral(KALINDA_ASSEMBLE_SQL)}) != 0)
        return false;
    MariaDbServer::instance().runAdminScript(QStringLiteral("source ") + out);
    Connection c;
    c.connect(p);
    return c.status() == 0;
}

TEST(GrantsTest, UserConnectsOnlyFromItsHostPatternsWithAnyPassword) {
    const QString password = QStringLiteral("it's a \\ 'secret' \\\\");
    EXPECT_FALSE(connectsAfterLoad(password, QStringLiteral("10.%")));
    EXPECT_TRUE(connectsAfterLoad(password, QStringLiteral("10.%, localhost 127.0.0.1")));
    EXPECT_FALSE(connectsAfterLoad(password, QStringLiteral("localhost 127.0.0.1"), "SSL"));
    EXPECT_FALSE(connectsAfterLoad(password, QStringLiteral("10.%';--")));
}

} // namespace kalinda::test
