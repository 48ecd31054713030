#pragma once

#include "app/db.h"
#include "posting.h"
#include "printing/receipt.h"

#include <QString>
#include <optional>

namespace kalinda {

// A posting whose outcome may be in doubt, with all that settling it needs.
struct PostingIntent {
    PostingProof proof;
    SessionIdentity session; // ended only where it still runs, never another's of its id
    std::optional<ReceiptValues> receipt;
    QString account;        // its payer; empty outside a visit (block)
    std::optional<Sql> log; // the head of its log row (logTransaksiHead of its visit)
    quint64 visit = 0;      // the visit it was made in; 0: before this run of the kiosk
    qint64 made = 0;        // when it went in doubt, seconds since 1970 by the kiosk's clock
};

// Where the kiosk keeps what must outlive it: $STATE_DIRECTORY (systemd's StateDirectory=,
// writable also on a read-only system), else $XDG_STATE_HOME/kalinda, else
// ~/.local/state/kalinda.
QString defaultStateFolder();
// The folder of the intent file; "" (the default) keeps none. The kiosk sets it at start, tests
// and benchmarks their own.
void setStateFolder(const QString& folder);
QString stateFolder();
QString intentFilePath();

// The intent of a posting in doubt, kept until it is settled, so that a crash or a power cut
// does not forget it. Written once the posting is in doubt, not before every COMMIT: the synced
// write costs more than a posting's own time (docs/deployment.md). Mode 0600, written to a
// temporary file, synced and renamed over the old one. A failed write is reported on stderr:
// the posting is then kept in memory only, as before.
void writeIntent(const PostingIntent& intent);
void removeIntent();
// The intent an earlier run left behind; nullopt when there is none, or when it is not to be
// trusted: not a regular file of the kiosk's user, open to other users (the file or its
// folder), not a whole intent of this version (a mark, its log row an INSERT into
// log_transaksi), or older than the marks the server keeps. Its statements run as the kiosk, so
// such a file is never read; it is renamed to "<file>.untrusted" for the office, with a warning on
// stderr.
std::optional<PostingIntent> readLeftIntent();

} // namespace kalinda
