#pragma once

#include "sql.h"

#include <QObject>
#include <QString>
#include <array>

namespace kalinda {

// The kiosk has no operator sign-in: the operator alias and name are always empty.
inline QString operatorAlias() {
    return {};
}
inline QString operatorName() {
    return {};
}

// The account in visit and the values of the last posting, as the main screen shows them.
// Forms bind their controls to it; postings read and write it without a window.
class VisitState final : public QObject {
    Q_OBJECT
public:
    enum Field {
        // the account that tapped in
        NoCif,
        Rfid,
        NoRekening,
        // the main screen's boxes
        txtNorek,
        txtRfid,
        txtCif,
        txtNama,
        txtAlamat,
        txtKelas,
        txtSaldo,
        txtQuota1,
        txtQuota2,
        txtNominal,
        txtRekTujuan,
        cboJenis,
        // the last posting, for the receipt
        TransID,
        Nominal,
        JenisTrans,
        RekTujuan,
        FieldCount
    };
    Q_ENUM(Field)

    explicit VisitState(QObject* parent = nullptr);

    const QString& operator[](Field field) const { return values_[field]; }
    // Emits changed() when the value is new.
    void set(Field field, const QString& value);

signals:
    void changed(VisitState::Field field);

private:
    std::array<QString, FieldCount> values_;
};

// Copies the paying account of the visit into a posting's input, which names its fields as
// the visit does.
template <typename Input>
void fillPayer(Input& in, const VisitState& v) {
    in.NoRekening = v[VisitState::NoRekening];
    in.NoCif = v[VisitState::NoCif];
    in.Rfid = v[VisitState::Rfid];
    in.txtNorek = v[VisitState::txtNorek];
    in.txtRfid = v[VisitState::txtRfid];
    in.txtNama = v[VisitState::txtNama];
    in.txtKelas = v[VisitState::txtKelas];
}

// What the main screen offers the forms opened on top of it.
class KioskScreen {
public:
    virtual ~KioskScreen() = default;
    virtual VisitState& visit() = 0;
    virtual void MenuEnable() = 0;
    virtual void MenuDisable() = 0;
    virtual void Bersih() = 0;
    virtual void CekSaldoReal() = 0;
    virtual void cekLimitTransfer() = 0;
    // After a posting's COMMIT: refreshes what the posting changed on the screen besides the
    // balance (Quota-1) and prints the receipt of the visit's last posting.
    virtual void CetakNota() = 0;
};

// "INSERT INTO log_transaksi SET " up to and including the customer's class, the head every
// log row of a customer action shares; each caller appends its own ending.
Sql logTransaksiHead(const QString& rekening, const QString& rfid, const QString& nama,
                     const QString& kelas);
// The same, with the customer as the main screen shows them.
Sql logTransaksiHead(const VisitState& visit);

} // namespace kalinda
