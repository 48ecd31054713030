#pragma once

#include <QByteArray>
#include <QString>

namespace kalinda {

// Windows-1252, the single-byte code page of the receipt printer.
QString fromCp1252(const QByteArray& bytes);
// Characters without a byte in the code page become '?'.
QByteArray toCp1252(const QString& text);

} // namespace kalinda
