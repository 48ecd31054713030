#pragma once

#include "app/db.h"
#include "app/money.h"
#include "app/visit_state.h"

#include <QString>
#include <vector>

namespace kalinda {

// One confirmed ledger row of the account, with the balance after it.
struct StatementLine {
    QString trans_id;
    QString trans_tanggal;
    QString trans_kode;
    Rupiah trans_jumlah_masuk = 0;
    Rupiah trans_jumlah_keluar = 0;
    QString trans_uraian;
    QString trans_reg_alias;
    QString trans_reg_time;
    Rupiah Saldo = 0;
};

struct Statement {
    std::vector<StatementLine> lines; // newest first
    // The confirmed balance up to today: where the newest line ends.
    Rupiah closingBalance = 0;
    // What the account's kiosk rows not yet booked by the office add to it (trans_status 0).
    Rupiah notBooked = 0;
};

// trans_reg_time as the list shows it: "dd-mm-yyyy" in Tanggal, with " hh:mm:ss" in Reg.
// Text that is no date and time of the server's form shows as stored.
QString shownRegTime(const QString& regTime, bool withTime);

// The confirmed rows of the account from the migration date up to today, newest first.
Sql statementQuery(const QString& rekening);
// The balance of every confirmed row up to today, the lines above included ("Saldo"), and
// the sum of the rows not yet booked ("BelumDibukukan").
Sql confirmedBalanceQuery(const QString& rekening);

// Each line gets the balance after it, the newest ending at `closing` and each older one
// before the newer line's movement.
void walkRunningBalance(std::vector<StatementLine>& lines, Rupiah closing);

// The lines and the balance they end at, read in one snapshot so that they agree even while
// kiosks post; kiosk rows not yet confirmed are in neither, only in `notBooked`.
Statement readStatement(Connection& db, const QString& rekening);

// The log row of a statement view.
void logStatementView(Connection& db, const VisitState& visit);

} // namespace kalinda
