#include "pin_change.h"

#include "app/typed_input.h"
#include "app/visit_state.h"
#include "posting.h"

namespace kalinda {

namespace {

bool sixDigits(const QString& pin) {
    if (pin.size() != 6)
        return false;
    // Only the ASCII digits a payment PIN box accepts, not other scripts' digits.
    for (const QChar c : pin) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

Sql gantiPinLog(const PinChangeInput& in, SqlText ending) {
    Sql s = logTransaksiHead(in.txtNorek, in.txtRfid, in.txtNama, in.txtKelas);
    s << ending;
    return s;
}

} // namespace

std::optional<PinEntryRefusal> checkPinEntries(const QString& pinLama, const QString& pinBaru,
                                               const QString& ulangiPin) {
    if (pinLama.isEmpty())
        return PinEntryRefusal{QStringLiteral("PIN Lama tidak boleh kosong!"), PinBox::Lama};
    if (pinBaru.isEmpty())
        return PinEntryRefusal{QStringLiteral("PIN Baru tidak boleh kosong!"), PinBox::Baru};
    if (ulangiPin.isEmpty())
        return PinEntryRefusal{QStringLiteral("Ulangi PIN Baru tidak boleh kosong!"),
                               PinBox::Ulangi};
    if (ulangiPin != pinBaru)
        return PinEntryRefusal{QStringLiteral("Ulangi PIN Baru harus sama dengan pin baru!"),
                               PinBox::Ulangi};
    if (!sixDigits(pinBaru))
        return PinEntryRefusal{QStringLiteral("PIN Baru harus 6 digit angka!"), PinBox::Baru};
    return std::nullopt;
}

PinChangeOutcome changePin(Connection& db, const PinChangeInput& in) {
    return retryOnConflict<PinChangeOutcome>([&] {
        // The old PIN is checked under the account's lock, so a kiosk that waited sees the new
        // one. The balance the guard also reads is not needed here.
        PostingTransaction posting(db, {in.txtNorek, in.txtRfid});
        Sql check;
        check << "SELECT tab_pin FROM `cashless-adm`.data_tabungan_master "
              << "WHERE tab_rekening = '" << esc(in.txtNorek) << "' "
              << "AND tab_pin = '" << esc(in.pinLama) << "'";
        // An old PIN that is no lookup key is refused like a wrong one, without a lookup.
        const bool oldPinRight = isLookupKey(in.pinLama) && !db.open(check).eof();
        if (oldPinRight) {
            Sql update;
            update << "UPDATE `cashless-adm`.data_tabungan_master SET "
                   << "tab_pin = '" << esc(in.pinBaru) << "' "
                   << "WHERE tab_rekening = '" << esc(in.txtNorek) << "'";
            db.execute(update);
            db.execute(gantiPinLog(in, "', log_transaksi = 'GANTI PIN', "
                                       "log_keterangan = 'GANTI PIN SUKSES' "));
            // Not by the new PIN: it may be changed again before a lost COMMIT is settled.
            posting.writeProof(QStringLiteral("GANTI PIN ") + in.txtNorek);
        } else {
            db.execute(gantiPinLog(in, "', log_transaksi = 'GANTI PIN', log_keterangan = "
                                       "'PIN LAMA TIDAK VALID, GANTI PIN GAGAL' "));
        }
        posting.commit();
        return oldPinRight ? PinChangeOutcome::Changed : PinChangeOutcome::WrongOldPin;
    });
}

Sql pinChangeLookup(const QString& account, const QString& pinBaru) {
    Sql s;
    s << "SELECT tab_rekening FROM `cashless-adm`.data_tabungan_master WHERE tab_rekening = '"
      << esc(account) << "' AND tab_pin = '" << esc(pinBaru) << "'";
    return s;
}

bool pinChangeStored(Connection& db, const QString& account, const QString& pinBaru) {
    return !db.open(pinChangeLookup(account, pinBaru)).eof();
}

} // namespace kalinda
