#include "posting_outcome.h"

#include "app/server_switch.h"
#include "printing/print.h"

#include <QDialog>

namespace kalinda {
namespace {

struct PendingPosting {
    PostingProof proof;
    unsigned long lostSession = 0;
    QString server; // where that session ran
    std::optional<ReceiptValues> receipt;
};

// One kiosk, one thread: at most one posting can be in doubt at a time.
std::optional<PendingPosting>& pending() {
    static std::optional<PendingPosting> posting;
    return posting;
}

} // namespace

namespace detail {

void keepUnknownPosting(Connection& db, const PostingOutcomeUnknown& e, const PostingReport& report,
                        QWidget* parent) {
    QString text = QStringLiteral("Koneksi ke server terputus saat transaksi disimpan, sehingga "
                                  "hasilnya belum diketahui. Struk tidak dicetak.\n");
    if (e.proof()) {
        pending() = PendingPosting{*e.proof(), e.lostSession(), db.server(), report.receipt};
        text += QStringLiteral("Tanyakan transaksi %1 ke bagian administrasi sebelum "
                               "mengulanginya.")
                    .arg(e.proof()->id);
    } else {
        text += QStringLiteral("Tanyakan ke bagian administrasi sebelum mengulanginya.");
    }
    showMessage(MessageIcon::Warning,
                text + QStringLiteral("\n\n(") + e.message() + QLatin1Char(')'), parent);
}

// The card or the account the visit began with no longer pays: whoever holds the card now must
// not go on, so the visit ends as FINISH TRANSACTION ends it and the form closes.
void endRefusedVisit(const PostingReport& report, QWidget* parent) {
    if (report.visit) {
        report.visit->Bersih();
        report.visit->MenuDisable();
    }
    showMessage(MessageIcon::Warning, kPinTidakSesuaiAtauTidakAktif, parent);
    if (auto* form = qobject_cast<QDialog*>(parent))
        form->reject();
}

} // namespace detail

std::optional<QString> pendingPostingId() {
    if (!pending())
        return std::nullopt;
    return pending()->proof.id;
}

Settlement settlePendingPosting(Connection& db, QWidget* parent) {
    if (!pending())
        return Settlement::NothingPending;
    const QString id = pending()->proof.id;
    // Session ids are a server's own: on another server the same id is somebody else's.
    const auto lostSession = [&db] {
        return db.server() == pending()->server ? pending()->lostSession : 0;
    };
    QString serverGone; // what the kiosk says about its server when that is gone
    const auto lookUp = [&] {
        try {
            return isPostingStored(db, pending()->proof, lostSession());
        } catch (const DbError& e) {
            // Asked again where the kiosk is now: its server back, or the one it moved to.
            ServerSwitch* server = serverSwitch();
            if (e.kind() != DbError::Kind::Connection || !server || !server->serves(db))
                throw;
            const ServerSwitch::Verdict verdict = server->connectionLost();
            if (verdict.outcome == ServerSwitch::Outcome::Gone) {
                serverGone = ServerSwitch::explain(verdict) + QLatin1Char('\n');
                throw;
            }
            if (verdict.outcome == ServerSwitch::Outcome::Moved)
                showMessage(MessageIcon::Warning, ServerSwitch::explain(verdict), parent);
            return isPostingStored(db, pending()->proof, lostSession());
        }
    };
    bool stored = false;
    try {
        stored = lookUp();
    } catch (const DbError& e) {
        showMessage(MessageIcon::Warning,
                    QStringLiteral("Hasil transaksi %1 masih belum diketahui: server belum dapat "
                                   "dihubungi. Tanyakan ke bagian administrasi.\n%2\n(%3)")
                        .arg(id, serverGone, e.message()),
                    parent);
        return Settlement::StillUnknown;
    }
    const PendingPosting settled = *pending();
    pending().reset();
    if (!stored) {
        showMessage(MessageIcon::Warning,
                    QStringLiteral("Transaksi %1 tidak dibukukan, saldo tidak berubah.").arg(id),
                    parent);
        return Settlement::Settled;
    }
    if (settled.receipt) {
        ReceiptValues values = *settled.receipt;
        values.transId = id;
        CetakNota(db, values, parent);
    }
    showMessage(MessageIcon::Information,
                QStringLiteral("Transaksi %1 ternyata berhasil dibukukan.").arg(id), parent);
    return Settlement::Settled;
}

} // namespace kalinda
