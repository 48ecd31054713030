#pragma once

#include "app/parameters.h"
#include "inquiries/report.h"
#include "support/mariadb_server.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace kalinda::test {

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
