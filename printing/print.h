#pragma once

#include "receipt.h"

#include <QDateTime>
#include <QString>
#include <functional>

class QWidget;

namespace kalinda {

// Sends `dataPrint` raw to the default printer as the document `namaFile`, followed by the
// paper cut. When there is no printer to open it says "Printer tidak dikenali!" and returns
// false. A send that failed on the way, or (with "PrinterCheck" on) a job not printed in time,
// which is then cancelled, says kStrukTidakTercetak. Returns whether the receipt was printed.
bool GSN_Print(const QString& namaFile, const QString& dataPrint, QWidget* parent = nullptr);

// How long a receipt job may take before it is cancelled (with "PrinterCheck" on).
inline constexpr int kReceiptJobTimeoutMs = 5000;
// Said when a receipt was sent but did not come out.
extern const QString kStrukTidakTercetak;

// Reads the layout, builds the receipt and prints it as "Struk". It runs after a posting is
// stored, so it never throws: a receipt that could not be made is said in a message box and
// the result is false. An empty clock reads the system clock.
using ReceiptClock = std::function<QDateTime()>;
bool CetakNota(Connection& db, const ReceiptValues& values, QWidget* parent = nullptr,
               const ReceiptClock& clock = {});

// The text of the last receipt CetakNota made; empty when none or forgotten.
const QString& lastReceipt();
// Makes the receipt of `values` the one CETAK ULANG reprints, without printing it. Throws
// DbError when the layout cannot be read.
void keepForReprint(Connection& db, const ReceiptValues& values);
void forgetLastReceipt();

// The receipt with the line "SALINAN" (copy) centred under the title, margin as the title's.
QString receiptCopy(const QString& receipt);

// Prints a copy of the last receipt as "Struk" after cancelling the original's job if it is
// still waiting, so only one of the two ever comes out. False when there is none to copy.
bool CetakUlang(QWidget* parent = nullptr);

} // namespace kalinda
