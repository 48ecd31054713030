#pragma once

#include "app/db.h"
#include "app/money.h"
#include "app/settings.h"
#include "kiosk_status.h"

#include <QDate>
#include <QString>
#include <memory>
#include <vector>

class QIODevice;

namespace kalinda {

// One row of AuditTransaksiKiosk: something among the kiosks' postings that does not add up.
struct AuditFinding {
    QString kind; // jenis: DEBIT_TANPA_KREDIT, SALDO_DI_BAWAH_MINIMUM, …
    QDate date;
    QString debitAccount;
    QString creditAccount;
    Rupiah amount = 0;
    int count = 0;
    QString transId;
    QString lastTransId;
    QString note;
    QString writer; // who wrote the rows, "" when the audit does not know
    QString time;   // when the last of them was written
};

// Red where money moved or may have: forged or unpaired ledger rows, a copy without its debit, a
// balance below its minimum. Amber for the rest, and for a kind this version does not know.
StatusColour findingColour(const QString& kind);
// What the office reads a kind under ("forged or unpaired rows", …); an unknown kind is its
// own group.
QString findingGroup(const QString& kind);

// A dedicated connection for the audit can wait this long: it reads days of the ledger.
constexpr int kAuditReadTimeoutSeconds = 600;

// The audit of the kiosks' postings over a period, shared by `kalinda audit`, the Audit tab and
// the tests.
class KioskAudit {
public:
    KioskAudit(QDate first, QDate last);

    // Runs the audit on `office`, a connection of the office's account whose default database
    // is the kiosk's schema, outside any transaction (its reads would hold the kiosks' rows).
    // The findings come grouped as findingGroup lists them. Throws DbError.
    void run(Connection& office);

    const std::vector<AuditFinding>& findings() const { return findings_; }
    int count(StatusColour colour) const;
    QDate first() const { return first_; }
    QDate last() const { return last_; }

    // One line for the console: colour, kind, date, accounts, amount, rows, writer and time.
    static QString line(const AuditFinding& finding);
    // The last line: the period and how many of each colour and group, or that there is none.
    QString summary() const;
    // The findings with the report's CSV rules; an empty text on success, else what went wrong.
    void writeCsv(QIODevice& out) const;
    QString saveCsv(const QString& path) const;

private:
    QDate first_;
    QDate last_;
    std::vector<AuditFinding> findings_;
};

// A connection as the office's account to the server, schema and TLS of `server`; nullptr, and
// why in `error`, when there is no account or the server refuses it.
std::unique_ptr<Connection> connectOffice(ConnectParams server, const OfficeAccount& account,
                                          QString& error);

} // namespace kalinda
