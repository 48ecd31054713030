#include "block_account.h"

#include "app/typed_input.h"
#include "app/visit_state.h"
#include "posting.h"

#include <optional>

namespace kalinda {

namespace {

Sql lookup(const BlockInput& in) {
    // The name and class functions resolve in the kiosk's own schema.
    Sql s;
    s << "SELECT tab_rekening, GetNasabahNama(tab_nasabah) as Nama, "
      << "GetNasabahKelas(tab_nasabah) as Kelas "
      << "FROM `cashless-adm`.data_tabungan_master "
      << "WHERE tab_alternatif = '" << esc(in.txtReg) << "' AND tab_pin = '" << esc(in.txtPin)
      << "' LIMIT 1";
    return s;
}

// Locks the found row and reads it again: another kiosk may have changed it since the lookup.
// Compared as the lookup compares, so that the row it found still matches.
Sql lockStillMatching(const BlockInput& in, const QString& account) {
    Sql s;
    s << "SELECT tab_rfid FROM `cashless-adm`.data_tabungan_master WHERE tab_rekening = '"
      << esc(account) << "' AND tab_alternatif = '" << esc(in.txtReg) << "' AND tab_pin = '"
      << esc(in.txtPin) << "' FOR UPDATE";
    return s;
}

Sql block(const QString& account) {
    Sql s;
    s << "UPDATE `cashless-adm`.data_tabungan_master "
      << "SET tab_rfid = CONCAT('#', tab_rfid), tab_pin = " << kResetPin << " "
      << "WHERE tab_rekening = '" << esc(account) << "'";
    return s;
}

Sql refusedLog(const BlockInput& in) {
    Sql s = logTransaksiHead(in.txtNorek, in.txtRfid, in.txtNama, in.txtKelas);
    s << "', log_transaksi = 'BLOKIR PIN', log_keterangan = 'BLOKIR GAGAL, REG/PIN tidak valid' ";
    return s;
}

// Names the blocked account, not the main screen's customer, and carries no card number.
Sql blockedLog(const BlockResult& r) {
    Sql s;
    s << "INSERT INTO log_transaksi SET "
      << "log_tanggal = NOW(), log_time = NOW(), log_user = '" << esc(operatorAlias())
      << "', log_rekening = '" << esc(r.account) << "', log_nama = '" << esc(r.nama)
      << "', log_kelas = '" << esc(r.kelas)
      << "', log_transaksi = 'BLOKIR ACCOUNT', log_keterangan = 'BLOKIR ACCOUNT SUKSES' ";
    return s;
}

// One attempt; nullopt when the found row changed before it could be locked.
std::optional<BlockResult> attempt(Connection& db, const BlockInput& in) {
    Transaction transaction(db);
    BlockResult r;
    // Either one no lookup key (a blank, a control character, a look-alike) names nothing:
    // refused without a lookup.
    const bool named = isLookupKey(in.txtReg) && isLookupKey(in.txtPin);
    Recordset found = named ? db.open(lookup(in)) : Recordset();
    if (found.eof()) {
        db.execute(refusedLog(in));
    } else {
        r.account = found.text(QStringLiteral("tab_rekening"));
        r.nama = found.text(QStringLiteral("Nama"));
        r.kelas = found.text(QStringLiteral("Kelas"));
        Recordset locked = db.open(lockStillMatching(in, r.account));
        if (locked.eof())
            return std::nullopt; // rolled back; the next attempt looks it up afresh
        r.cardBefore = locked.text(QStringLiteral("tab_rfid"));
        r.outcome = BlockResult::Outcome::Blocked;
        db.execute(block(r.account));
        db.execute(blockedLog(r));
    }
    std::optional<PostingProof> proof;
    if (r.outcome == BlockResult::Outcome::Blocked) {
        // Not by the card: the office may give it back before a lost COMMIT is settled.
        proof = writePostingProof(db, QStringLiteral("BLOKIR ") + r.account);
    }
    commitOrLookUp(db, transaction, proof);
    return r;
}

} // namespace

QStringList registrationAccounts(Connection& db, const QString& registrationId) {
    QStringList accounts;
    if (!isLookupKey(registrationId))
        return accounts;
    Sql s;
    s << "SELECT tab_rekening FROM `cashless-adm`.data_tabungan_master WHERE tab_alternatif = '"
      << esc(registrationId) << "'";
    for (Recordset rs = db.open(s); !rs.eof(); rs.moveNext())
        accounts << rs.text(QStringLiteral("tab_rekening"));
    return accounts;
}

BlockResult blockAccount(Connection& db, const BlockInput& in) {
    constexpr int kAttempts = 5;
    for (int i = 1;; ++i) {
        const auto r = retryOnConflict<std::optional<BlockResult>>([&] { return attempt(db, in); });
        if (r)
            return *r;
        if (i >= kAttempts)
            throw DbError(DbError::Kind::Conflict, 0,
                          QStringLiteral("Rekening terus berubah selama diblokir."));
    }
}

Sql blockLookup(const QString& account, const QString& cardBefore) {
    Sql s;
    s << "SELECT tab_rekening FROM `cashless-adm`.data_tabungan_master WHERE tab_rekening = '"
      << esc(account) << "' AND tab_rfid = '" << esc(QStringLiteral("#") + cardBefore) << "'";
    return s;
}

bool blockStored(Connection& db, const QString& account, const QString& cardBefore) {
    return !db.open(blockLookup(account, cardBefore)).eof();
}

} // namespace kalinda
