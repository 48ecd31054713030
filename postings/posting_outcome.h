#pragma once

#include "app/db.h"
#include "app/dialogs.h"
#include "app/heartbeat.h"
#include "app/visit_state.h"
#include "app/wait_notice.h"
#include "identifiers.h"
#include "posting.h"
#include "posting_intent.h"
#include "printing/receipt.h"

#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace kalinda {

// What a form tells the user about its posting, besides its own success path.
struct PostingReport {
    // Starts the message when nothing was booked ("Transaksi gagal, tidak ada yang dibukukan.").
    QString failedText;
    // Printed when a posting of unknown outcome is later found stored (its transId is filled in
    // then); none for postings without a receipt.
    std::optional<ReceiptValues> receipt;
    // The screen whose visit ends when the payer is refused (PayerRefused); none for the block,
    // which runs outside a visit.
    KioskScreen* visit = nullptr;
};

// What a student whose card was blocked or whose account was closed during the visit is told,
// the words of a refused card tap.
inline const QString kPinTidakSesuaiAtauTidakAktif =
    QStringLiteral("PIN Tidak sesuai atau tabungan tidak AKTIF");

enum class Settlement {
    NothingPending,
    Settled,       // the user was told that nothing was paid ("not booked", or an order unpaid)
    SettledStored, // the user was told it was stored, its receipt printed: the form must not
                   // be pressed again, or it pays a second time
    StillUnknown,  // the server still cannot be asked; the user was told, it stays pending
};

// Settles the posting whose outcome was left unknown, if one is pending. Runs before the next
// card tap and before every posting.
Settlement settlePendingPosting(Connection& db, QWidget* parent = nullptr);
// At start: settles the posting an earlier run left in doubt (its intent file), as one settled
// after its visit: the outcome goes to the log, the receipt waits for its account's next visit.
Settlement settleLeftPosting(Connection& db, QWidget* parent = nullptr);
// The id of the posting whose outcome is not known yet.
std::optional<QString> pendingPostingId();

// A posting in doubt is its visit's own only while that visit lasts: settled later, its outcome
// goes to the log (log_transaksi) instead of the next student's screen, and its receipt waits
// for its account's next visit. Called when a visit ends.
void visitEnded();
// At the card tap of `account`: a receipt of a posting of that account settled after its visit
// is offered for CETAK ULANG during this visit, then dropped.
void offerSettledReceipt(Connection& db, const QString& account);

namespace detail {
void keepUnknownPosting(Connection& db, const PostingOutcomeUnknown& e, const PostingReport& report,
                        QWidget* parent);
void endRefusedVisit(const PostingReport& report, QWidget* parent);
// Forgets the posting in doubt and the receipt held for reprint, as a crash does (tests).
void forgetPendingPosting();
// Closes `form` when it is a dialog.
void closeForm(QWidget* form);
} // namespace detail

// Runs a posting and shows its failures. Returns the posting's result when it ran to the end
// (stored, also when only the look-up after a lost COMMIT found it, or refused by its own
// rules): the form then goes its usual way. nullopt when the failure was already shown: nothing
// booked (with the server's reason), or the outcome not known yet (the posting is kept and
// settled before the next one), or a posting of unknown outcome still pending or just settled
// (the form is closed when it turned out stored), or the payer refused: nothing was written,
// the visit has ended and the form (`parent`) is closed.
template <typename Result>
std::optional<Result> runPosting(Connection& db, QWidget* parent, const PostingReport& report,
                                 const std::function<Result()>& post) {
    // The office hears of every posting and of a settled doubt, once this one is over (the
    // heartbeat has its own connection and thread: it never joins the transaction or waits).
    struct BeatAfter {
        ~BeatAfter() { heartbeatAfterPosting(); }
    } beatAfter;
    const Settlement settlement = settlePendingPosting(db, parent);
    if (settlement == Settlement::SettledStored)
        detail::closeForm(parent);
    if (settlement != Settlement::NothingPending)
        return std::nullopt;
    try {
        const WaitNotice wait(parent); // gone before any message below
        return post();
    } catch (const PostingOutcomeUnknown& e) {
        detail::keepUnknownPosting(db, e, report, parent);
    } catch (const IdCapacityError& e) {
        showMessage(MessageIcon::Warning, e.message(), parent);
    } catch (const AmountRefused&) {
        showMessage(MessageIcon::Warning, kNominalTidakValid, parent);
    } catch (const PayerRefused&) {
        detail::endRefusedVisit(report, parent);
    } catch (const DbError& e) {
        showDatabaseError(report.failedText, e, parent);
    }
    return std::nullopt;
}

} // namespace kalinda
