#include "posting_outcome.h"

#include "app/server_switch.h"
#include "printing/print.h"

#include <QDateTime>
#include <QDialog>

namespace kalinda {
namespace {

using PendingPosting = PostingIntent;

// One kiosk, one thread: at most one posting can be in doubt at a time.
std::optional<PendingPosting>& pending() {
    static std::optional<PendingPosting> posting;
    return posting;
}

quint64& visitNumber() {
    static quint64 number = 1;
    return number;
}

// The receipt of a posting settled as stored after its visit ended, for its account's next visit.
struct HeldReceipt {
    QString account;
    ReceiptValues values;
};
std::optional<HeldReceipt>& heldReceipt() {
    static std::optional<HeldReceipt> receipt;
    return receipt;
}

// The office finds a posting settled after its visit by its log row.
void logLateOutcome(Connection& db, const PendingPosting& posting, bool stored) {
    const QString outcome = !stored               ? QStringLiteral("TIDAK DIBUKUKAN")
                            : !posting.proof.paid ? QStringLiteral("TERSIMPAN TANPA PEMBAYARAN")
                                                  : QStringLiteral("TRANSAKSI BERHASIL");
    // A PIN change's id names its account and is longer than log_transid: in strict mode the
    // row would be refused and the settlement never end, so the id goes into the text instead.
    const QString& id = posting.proof.id;
    const bool fits = id.size() <= 20;
    Sql s = *posting.log;
    s << "', log_transaksi = 'HASIL TRANSAKSI TERTUNDA";
    if (!fits)
        s << " " << esc(id);
    s << "', log_keterangan = '" << esc(outcome) << "', log_transid = ";
    if (fits)
        s << "'" << esc(id) << "'";
    else
        s << "NULL";
    db.execute(s);
}

} // namespace

namespace detail {

void keepUnknownPosting(Connection& /*db*/, const PostingOutcomeUnknown& e,
                        const PostingReport& report, QWidget* parent) {
    QString text = QStringLiteral("Koneksi ke server terputus saat transaksi disimpan, sehingga "
                                  "hasilnya belum diketahui. Struk tidak dicetak.\n");
    if (e.proof()) {
        PendingPosting kept;
        kept.proof = *e.proof();
        kept.session = e.lostSession();
        kept.receipt = report.receipt;
        if (report.visit) {
            const VisitState& visit = report.visit->visit();
            kept.account = visit[VisitState::NoRekening];
            kept.log = logTransaksiHead(visit);
        }
        kept.visit = visitNumber();
        kept.made = QDateTime::currentSecsSinceEpoch();
        pending() = kept;
        writeIntent(kept);
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
    closeForm(parent);
}

void forgetPendingPosting() {
    pending().reset();
    heldReceipt().reset();
}

void closeForm(QWidget* form) {
    if (auto* dialog = qobject_cast<QDialog*>(form))
        dialog->reject();
}

} // namespace detail

void visitEnded() {
    ++visitNumber();
}

void offerSettledReceipt(Connection& db, const QString& account) {
    if (!heldReceipt() || heldReceipt()->account != account)
        return;
    try {
        keepForReprint(db, heldReceipt()->values);
    } catch (const DbError&) {
        return; // offered again at the next tap
    }
    heldReceipt().reset();
}

std::optional<QString> pendingPostingId() {
    if (!pending())
        return std::nullopt;
    return pending()->proof.id;
}

Settlement settleLeftPosting(Connection& db, QWidget* parent) {
    if (!pending()) {
        if (std::optional<PostingIntent> left = readLeftIntent()) {
            left->visit = 0; // its visit ended with the run that made it
            pending() = *left;
        }
    }
    return settlePendingPosting(db, parent);
}

Settlement settlePendingPosting(Connection& db, QWidget* parent) {
    if (!pending())
        return Settlement::NothingPending;
    const QString id = pending()->proof.id;
    QString serverGone; // what the kiosk says about its server when that is gone
    const auto lookUp = [&] {
        try {
            return isPostingStored(db, pending()->proof, pending()->session);
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
            return isPostingStored(db, pending()->proof, pending()->session);
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
    if (settled.log && settled.visit != visitNumber()) {
        // Its student has gone: whoever stands at the kiosk now is told nothing of it.
        try {
            logLateOutcome(db, settled, stored);
        } catch (const DbError& e) {
            showMessage(MessageIcon::Warning,
                        QStringLiteral("Server belum dapat dihubungi. Silakan coba lagi.\n(%1)")
                            .arg(e.message()),
                        parent);
            return Settlement::StillUnknown;
        }
        pending().reset();
        removeIntent();
        heartbeatSoon(); // the office sees the doubt gone
        if (!stored || !settled.proof.paid)
            return Settlement::Settled;
        if (settled.receipt) {
            ReceiptValues values = *settled.receipt;
            values.transId = id;
            heldReceipt() = HeldReceipt{settled.account, values};
        }
        return Settlement::SettledStored;
    }
    pending().reset();
    removeIntent();
    heartbeatSoon();
    if (!stored) {
        showMessage(MessageIcon::Warning,
                    QStringLiteral("Transaksi %1 tidak dibukukan, saldo tidak berubah.").arg(id),
                    parent);
        return Settlement::Settled;
    }
    if (!settled.proof.paid) {
        showMessage(
            MessageIcon::Warning,
            QStringLiteral("Pesanan %1 tersimpan tanpa pembayaran, saldo tidak berubah.").arg(id),
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
    return Settlement::SettledStored;
}

} // namespace kalinda
