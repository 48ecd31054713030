#pragma once

#include "app/parameters.h"
#include "inquiries/kiosk_status.h"
#include "inquiries/report.h"
#include "support/mariadb_server.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <utility>

namespace kalinda::test {

// Each kind the audit knows, in the order it lists them, and its colour.
inline const std::pair<const char*, StatusColour> kForgedFindings[] = {
    {"DEBIT_TANPA_KREDIT", StatusColour::Red},     {"KREDIT_TANPA_DEBIT", StatusColour::Red},
    {"SALINAN_TANPA_MUTASI", StatusColour::Red},   {"FORMAT_TIDAK_SESUAI", StatusColour::Red},
    {"SALINAN_GANDA", StatusColour::Amber},        {"LOG_TANPA_MUTASI", StatusColour::Amber},
    {"SALDO_DI_BAWAH_MINIMUM", StatusColour::Red}, {"UBAH_KARTU_PIN_BANYAK", StatusColour::Amber},
    {"PESANAN_TANPA_BAYAR", StatusColour::Amber},  {"SESI_DIAKHIRI", StatusColour::Amber},
};

// One forged row (or group) of each kind, today, as root: the first a lone debit of 3.000 from
// 010100000004 to 010100000009, written by root@localhost; the log row's text holds a line end.
inline void forgeOneOfEachFinding() {
    MariaDbServer::instance().runAdminScript(
        QStringLiteral(
            "SET @y = DATE_FORMAT(CURDATE(), '%y%m%d'), @s = DATE_FORMAT(CURDATE(), '%Y%m%d');\n"
            "INSERT INTO `cashless-adm`.data_tabungan_trans (trans_id, trans_tanggal, trans_kode, "
            "trans_rekening, trans_ob_rekening, trans_jumlah_masuk, trans_jumlah_keluar, "
            "trans_status, trans_reg_time) VALUES "
            "(CONCAT('KLD', @y, '333333'), CURDATE(), '14', '010100000004', '010100000009', 0, "
            "3000, 0, NOW()), "
            "(CONCAT('KLD', @y, '654321##'), CURDATE(), '15', '010100000002', '010100000001', "
            "50000, 0, 0, NOW()), "
            "('KLD2612071234', CURDATE(), '14', '010100000005', '010100000006', 0, 1000, 0, "
            "NOW()), "
            "(CONCAT('KLD', @s, '9002'), CURDATE(), '15', '010100000006', '010100000005', 1000, 0, "
            "0, NOW()), "
            "(CONCAT('KLD', @s, '0005'), CURDATE(), '14', '010100000007', '020100000010', 0, 2000, "
            "0, NOW()), "
            "(CONCAT('KLD', @s, '0006'), CURDATE(), '15', '020100000010', '010100000007', 2000, 0, "
            "0, NOW()), "
            "('ADM1', CURDATE(), '14', '010100000003', '', 0, 118000, 1, NOW());\n"
            "INSERT INTO `%1`.data_transaksi (trans_id, trans_tanggal, trans_kode, trans_rekening, "
            "trans_jumlah) VALUES (CONCAT('KLD', @y, '777777#'), CURDATE(), '14', '010100000004', "
            "3000), (CONCAT('KLD', @s, '0005'), CURDATE(), '14', '010100000007', 2000), "
            "(CONCAT('KLD', @s, '0005#'), CURDATE(), '14', '010100000007', 2000);\n"
            "INSERT INTO `%1`.log_transaksi (log_tanggal, log_time, log_rekening, log_keterangan, "
            "log_transid, log_transaksi) VALUES (CURDATE(), CURTIME(), '010100000005', "
            "'TRANSAKSI BERHASIL', CONCAT('KLD', @s, '0042'), CONCAT('BAYAR', CHAR(10), 'green "
            "ok'));\n"
            "INSERT INTO `aio-kirna`.data_barang_order SET order_kode = CONCAT('ODR', @y, '004'), "
            "order_tanggal = NOW(), order_rekening = '010100000008', order_harga = 5000;\n"
            "INSERT INTO `cashless-adm`.data_tabungan_ubah_kiosk (ubah_rekening, ubah_kolom, "
            "ubah_user, ubah_waktu) SELECT tab_rekening, 'tab_pin', 'kalinda_kiosk@localhost', "
            "NOW() FROM `cashless-adm`.data_tabungan_master LIMIT 4;\n"
            "INSERT INTO `cashless-adm`.data_kiosk_sesi_diakhiri (sesi_waktu, sesi_penulis, "
            "sesi_server, sesi_thread, sesi_alasan, sesi_detik) VALUES (NOW(), "
            "'kiosk_a@localhost', 1, 42, 'transaksi', 16);\n")
            .arg(MariaDbServer::instance().kioskParams().database));
}

// A fresh demo database with postings of the kiosk added by each test.
class ReportFixture : public ::testing::Test {
protected:
    void SetUp() override {
        MariaDbServer::instance().resetDatabase();
        admin = adminConnection();
        db = kioskConnection();
        params = LoadParameters(*db).AppParam;
        ASSERT_TRUE(dir.isValid());
    }

    void addRow(const QString& id, const QString& date, const QString& name, long long amount,
                const QString& user = QStringLiteral("KLD|")) {
        Sql s("INSERT INTO data_transaksi SET trans_kode = '14', trans_id = '");
        s << esc(id) << "', trans_tanggal = '" << esc(date) << "', trans_rekening = '"
          << esc(QStringLiteral("1101") + id.right(8)) << "', trans_nasabah_nama = '" << esc(name)
          << "', trans_nasabah_kelas = '7A', trans_jumlah = " << amount << ", trans_reg_alias = '"
          << esc(user) << "'";
        admin->execute(s);
    }

    // `count` postings on one day, ids KLD00001…, amounts 1000, 2000, …
    void addRows(int count, const QString& date) {
        Sql s("INSERT INTO data_transaksi (trans_id, trans_tanggal, trans_kode, trans_rekening, "
              "trans_nasabah_nama, trans_nasabah_kelas, trans_jumlah, trans_reg_alias) "
              "SELECT CONCAT('KLD', LPAD(seq, 5, '0')), '");
        s << esc(date)
          << "', '14', CONCAT('1101', LPAD(seq, 8, '0')), CONCAT('Santri ', seq), '8B', "
             "seq * 1000, 'KLD|' FROM seq_1_to_"
          << count;
        admin->execute(s);
    }

    rptTransaksi report(const QString& user = {},
                        const QLocale& locale = QLocale(QLocale::Indonesian, QLocale::Indonesia)) {
        return rptTransaksi(*db, params, ReportPeriod{kFirst, kLast, user},
                            QStringLiteral("Bu Sari"), kPrintedAt, locale);
    }

    QString path(const QString& name) const { return dir.filePath(name); }

    const QDate kFirst{2026, 12, 1};
    const QDate kLast{2026, 12, 7};
    const QDateTime kPrintedAt{QDate(2026, 12, 7), QTime(9, 5, 3)};
    std::unique_ptr<Connection> admin;
    std::unique_ptr<Connection> db;
    AppParameters params;
    QTemporaryDir dir;
};

} // namespace kalinda::test
