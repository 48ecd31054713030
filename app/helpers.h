#pragma once

#include "db.h"

#include <QString>
#include <optional>

class QComboBox;
class QLineEdit;

namespace kalinda {

// Regroups an amount box as "#,##0" while the user types and keeps the caret at the end.
// Empty text stays empty; text that is no typed amount (parseTypedAmount) is left as it is.
void FormatTextBoxNumber(QLineEdit* box);
void SelectAllText(QLineEdit* box);

// The token at `position` of `text` split at `separator`, trimmed of blanks. A negative position
// counts from the end (-1 is the last token) and is written back adjusted. Without a separator
// in the text the whole text is the answer; a position outside the tokens gives "".
QString GetToken(const QString& text, const QString& separator, int& position);
inline QString GetToken(const QString& text, const QString& separator, int&& position) {
    return GetToken(text, separator, position);
}

// Selects the entry of `combo` whose token equals `key`, or no entry when none does.
// An empty separator becomes ":" and a position of 0 becomes 1, both written back.
int SelectComboByKey(const QString& key, QComboBox* combo, QString& separator, int& position);

// The hardware address of the machine that holds `ip` (this machine's interfaces first, then
// the neighbour table), as upper-case pairs joined by "-". False when there is none.
bool GetMacAddress(const QString& ip, QString& mac);
// Six bytes as "00-0C-FF-…"; empty when the bytes are all zero.
QString FormatMacAddress(const QByteArray& bytes);

// The report's result set: one process-wide slot, replaced by every opening.
void OpenReportRecordset(Connection& db, const Sql& statement);
Recordset& reportRecordset();

// Trims blanks (spaces) only, as the kiosk's texts are compared.
QString trimBlanks(const QString& text);

} // namespace kalinda
