#pragma once

#include "app/db.h"

#include <QDate>
#include <QString>
#include <QVariant>
#include <functional>
#include <stdexcept>

namespace kalinda {

// A family of daily sequence ids: prefix + date + zero-padded running number, the number one
// more than the highest already stored under today's prefix.
struct SequenceFamily {
    SqlText selectMax; // "SELECT MAX(RIGHT(col, n)) as Nomor "
    SqlText from;      // "FROM table "
    SqlText whereLeft; // "WHERE LEFT(col, k) = '"
    // "' AND col LIKE '" where col is the table's key: the same rows, found as a range of the
    // key instead of by reading every row of the table. Empty for a column without a key.
    SqlText keyRange;
    const char* prefix; // "KLD", "ODR", "SES"
    const char* datePattern;
    int digits;
};

// Transaction ids of sequence postings: "KLD" + yyyymmdd + 0000.
extern const SequenceFamily kTransactionIds;
// Shop order codes: "ODR" + yymmdd + 000.
extern const SequenceFamily kOrderCodes;
// Kiosk session ids: "SES" + yymmdd + 0000.
extern const SequenceFamily kSessionIds;

// The day's numbers of a family are used up (9999, or 999 for order codes).
class IdCapacityError : public std::runtime_error {
public:
    explicit IdCapacityError(const QString& message);
    QString message() const { return message_; }

private:
    QString message_;
};

// Throws DbError when the prefix would not be letters and digits of the family's full width
// (an invalid date): such a prefix could not be matched as a range of the key.
QString sequencePrefix(const SequenceFamily& family, const QDate& today);

// The daily sequence query of today's prefix.
Sql sequenceQuery(const SequenceFamily& family, const QDate& today);

// The next running number of today's prefix (1 on an empty day).
int GenerateCD(Connection& db, const SequenceFamily& family, const QDate& today);

// The next id of the family for today. Throws IdCapacityError past the day's capacity instead
// of repeating an id.
QString IdReg(Connection& db, const SequenceFamily& family,
              const QDate& today = QDate::currentDate());

// Makes the next id and hands it to `insert`, which writes the row that holds it. When another
// kiosk took the same number first, the row's unique key refuses it and, after a short random
// pause, a number past the refused one is tried. Inside a transaction the refused statement alone
// is undone. Returns the id stored.
QString insertWithSequenceId(Connection& db, const SequenceFamily& family,
                             const std::function<void(const QString& id)>& insert,
                             const QDate& today = QDate::currentDate());

// How many ids this process found taken by another kiosk and made again, since it started (for
// measuring how often kiosks collide).
int duplicateIdRetries();

// Random posting ids: "KLD" + yymmdd + a number from 100000 to 999999 drawn by the server.
// A source gives the number as the server returned it: FLOOR() of RAND() arrives as a DOUBLE.
using RandomNumberSource = std::function<QVariant(Connection&)>;
QVariant drawRandomNumber(Connection& db);
// Throws DbError when the draw is not a whole number from 100000 to 999999.
QString randomPostingId(Connection& db, const QDate& today = QDate::currentDate(),
                        const RandomNumberSource& draw = drawRandomNumber);

// Draws a random id and hands it to `insert`; an id that already exists is drawn again.
QString insertWithRandomId(Connection& db, const std::function<void(const QString& id)>& insert,
                           const QDate& today = QDate::currentDate(),
                           const RandomNumberSource& draw = drawRandomNumber);

} // namespace kalinda
