#pragma once

#include "receipt.h"

#include <QDateTime>
#include <QString>
#include <functional>

class QWidget;

namespace kalinda {

// Sends `dataPrint` raw to the default printer as the document `namaFile`, followed by the
// paper cut. When there is no printer to open it says "Printer tidak dikenali!" and returns
// false; it returns whether the job was sent.
bool GSN_Print(const QString& namaFile, const QString& dataPrint, QWidget* parent = nullptr);

// Reads the layout, builds the receipt and prints it as "Struk". It runs after a posting is
// stored, so it never throws: a receipt that could not be made is said in a message box and
// the result is false. An empty clock reads the system clock.
using ReceiptClock = std::function<QDateTime()>;
bool CetakNota(Connection& db, const ReceiptValues& values, QWidget* parent = nullptr,
               const ReceiptClock& clock = {});

} // namespace kalinda
