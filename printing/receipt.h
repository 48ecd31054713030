#pragma once

#include <QDateTime>
#include <QString>
#include <array>

namespace kalinda {

class Connection;
class VisitState;

// The receipt layout as stored in set_cetakan: the raw text of each key, empty when missing.
struct ReceiptSettings {
    QString paperWidth;             // StrukPanjangKertas
    QString leftMargin;             // StrukTabKiri
    std::array<QString, 4> headers; // StrukHeader1 to StrukHeader4
    QString footerText;             // StrukFooterText (read, not printed)
    QString bottomCount;            // StrukTabBawah (read, not printed)
};

// Reads every row of set_cetakan; a key that repeats keeps its last row. Throws DbError.
ReceiptSettings readReceiptSettings(Connection& db);

// What the main screen shows of the visit and of the last posting, as shown.
struct ReceiptValues {
    QString account;       // txtNorek
    QString name;          // txtNama
    QString kelas;         // txtKelas
    QString kind;          // JenisTrans
    QString target;        // RekTujuan
    QString amount;        // Nominal, already formatted
    QString transId;       // TransID
    QString operatorAlias; // the Channel line; empty in this kiosk
    QString operatorName;  // ends the Printed line; empty in this kiosk
};

// The receipt of the visit's last posting (TransID, Nominal, JenisTrans, RekTujuan).
ReceiptValues receiptOfVisit(const VisitState& visit);

inline const QString kReceiptTitle = QStringLiteral("TRANSAKSI KALINDA CASHLESS");
inline constexpr int kReceiptLines = 26;

// The receipt text: 26 lines, each starting with the margin and ending with CR LF. The date
// and the time lines take their own clock readings. A control character in a value (below
// 0x20, or 0x7F) prints as a blank; the headers are the school's and print as stored.
QString buildReceipt(const ReceiptSettings& settings, const ReceiptValues& values,
                     const QDateTime& dateRead, const QDateTime& timeRead,
                     const QDateTime& printedAt);

} // namespace kalinda
