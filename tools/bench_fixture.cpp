#include "bench_fixture.h"

#include "visit/card_lookup.h"

#include <algorithm>

namespace kalinda::bench {
namespace {

void seed(Connection& db, const QString& receiver, long long target,
          const std::function<void(const QString&)>& progress) {
    // The seeded rows' ids are "BS", the receiver's last two digits and a 9-digit number.
    const QString prefix = QStringLiteral("BS") + receiver.right(2);
    Sql count;
    count << "SELECT COUNT(*) AS n FROM `cashless-adm`.data_tabungan_trans WHERE trans_id LIKE '"
          << esc(prefix) << "%'";
    const long long seeded = toRupiah(db.open(count).value(0));
    const long long have = ledgerRows(db, receiver);
    Sql select;
    select << "SELECT CONCAT('" << esc(prefix) << "', LPAD(seq, 9, '0')), "
           << "CURDATE() - INTERVAL (1 + seq MOD 700) DAY, '15', '" << esc(receiver)
           << "', 'BENCH', 'BENCH', 1000, 1, '010100000001', 'Jajan Kantin', 1, 'BENCH'";
    insertLedgerRows(db, seeded + 1, target - have, select, [&](long long written) {
        progress(QStringLiteral("%1: %2 rows").arg(receiver).arg(have + written));
    });
}

} // namespace

void insertLedgerRows(Connection& admin, long long first, long long rows, const Sql& select,
                      const std::function<void(long long written)>& progress) {
    constexpr long long kChunk = 50000;
    for (long long written = 0; written < rows;) {
        const long long next = first + written;
        const long long last = next + std::min(rows - written, kChunk) - 1;
        Sql s;
        s << "INSERT INTO `cashless-adm`.data_tabungan_trans (trans_id, trans_tanggal, "
          << "trans_kode, trans_rekening, trans_nasabah, trans_channel, trans_jumlah_masuk, "
          << "trans_ob_jenis, trans_ob_rekening, trans_uraian, trans_status, trans_reg_alias) "
          << select << " FROM seq_" << next << "_to_" << last;
        admin.execute(s);
        written += last - next + 1;
        progress(written);
    }
}

BenchAccounts benchAccounts(int payers) {
    BenchAccounts a;
    for (int i = 1; i <= payers; ++i) {
        const QString n = QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'));
        a.payers.push_back({QStringLiteral("0199000000") + n, QStringLiteral("BENCH0") + n,
                            QStringLiteral("00099000") + n, QStringLiteral("7000") + n});
    }
    a.smallReceiver = QStringLiteral("029900000001");
    a.largeReceiver = QStringLiteral("029900000002");
    return a;
}

long long ledgerRows(Connection& db, const QString& account) {
    Sql s;
    s << "SELECT COUNT(*) AS n FROM `cashless-adm`.data_tabungan_trans WHERE trans_rekening = '"
      << esc(account) << "'";
    return toRupiah(db.open(s).value(0));
}

void prepare(Connection& db, const BenchAccounts& accounts, long long smallRows,
             long long largeRows, const std::function<void(const QString&)>& progress) {
    for (const QString& r : {accounts.smallReceiver, accounts.largeReceiver}) {
        Sql s;
        s << "INSERT IGNORE INTO `cashless-adm`.data_tabungan_master (tab_rekening, tab_nasabah, "
          << "tab_jenis) VALUES ('" << esc(r) << "', 'LBG000003', 2)";
        db.execute(s);
        // A product's account, not offered at the kiosk: what the ledger's guard lets a
        // payment reach without a transfer's limit.
        Sql product;
        product << "INSERT IGNORE INTO `cashless-adm`.data_kalinda_produk (kalinda_kode, "
                << "kalinda_nama, kalinda_rekening, kalinda_status) VALUES ('B" << esc(r.right(2))
                << "', 'Bench', '" << esc(r) << "', 0)";
        db.execute(product);
    }
    for (const Payer& p : accounts.payers) {
        Sql account;
        account << "INSERT IGNORE INTO `cashless-adm`.data_tabungan_master (tab_rekening, "
                << "tab_rfid, tab_nasabah, tab_jenis, tab_pin) VALUES ('" << esc(p.account)
                << "', '" << esc(p.card) << "', '" << esc(p.holder) << "', 1, '" << esc(p.pin)
                << "')";
        db.execute(account);
        Sql deposit;
        deposit << "INSERT IGNORE INTO `cashless-adm`.data_tabungan_trans (trans_id, "
                << "trans_tanggal, trans_kode, trans_rekening, trans_jumlah_masuk, trans_status) "
                << "VALUES ('BENCHDEP" << esc(p.account) << "', CURDATE() - INTERVAL 1 DAY, "
                << "'15', '" << esc(p.account) << "', 1000000000000, 1)";
        db.execute(deposit);
        Sql recompute;
        recompute << "CALL `cashless-adm`.HitungTabSaldoNasabah('" << esc(p.account) << "')";
        db.execute(recompute);
    }
    seed(db, accounts.smallReceiver, smallRows, progress);
    seed(db, accounts.largeReceiver, largeRows, progress);
}

ProductPaymentInput payment(const Payer& payer, const QString& receiver, Rupiah balance) {
    ProductPaymentInput in;
    in.NoRekening = in.txtNorek = payer.account;
    in.NoCif = payer.holder;
    in.Rfid = in.txtRfid = payer.card;
    in.txtNama = QStringLiteral("Santri Bench");
    in.txtKelas = QStringLiteral("10 IPA 1");
    in.cboJenis = QStringLiteral("003 : Jajan Kantin");
    in.txtRekTujuan = receiver;
    in.channel = QStringLiteral("KLD01");
    in.amount = 100;
    in.balance = balance;
    return in;
}

bool kioskPayment(Connection& db, const Payer& payer, const QString& receiver) {
    const auto balance = checkPaymentPin(db, payer.account, payer.pin);
    const auto r = postProductPayment(db, payment(payer, receiver, balance.value_or(0)));
    return r.outcome == ProductPaymentResult::Outcome::Posted;
}

int reconciliationDifferences(Connection& db, const BenchAccounts& accounts) {
    std::vector<QString> all = {accounts.smallReceiver, accounts.largeReceiver};
    for (const Payer& p : accounts.payers)
        all.push_back(p.account);
    int differences = 0;
    for (const QString& a : all) {
        Sql s;
        s << "CALL `cashless-adm`.RekonsiliasiSaldo('" << esc(a) << "', 0)";
        differences += db.open(s).rowCount();
    }
    return differences;
}

} // namespace kalinda::bench
