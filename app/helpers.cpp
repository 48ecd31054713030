#include "helpers.h"

#include "money.h"
#include "typed_input.h"

#include <QComboBox>
#include <QFile>
#include <QHostAddress>
#include <QLineEdit>
#include <QNetworkInterface>
#include <QStringList>

namespace kalinda {

QString trimBlanks(const QString& text) {
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text.at(start) == QLatin1Char(' '))
        ++start;
    while (end > start && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(start, end - start);
}

void FormatTextBoxNumber(QLineEdit* box) {
    const QString text = box->text();
    if (!text.isEmpty()) {
        // Only what an amount box takes is regrouped: blanks or a fraction are not read away.
        if (const auto amount = parseTypedAmount(text)) {
            const QString formatted = formatRupiah(*amount);
            // Setting the text raises the change handler again; it then finds nothing to do.
            if (formatted != text)
                box->setText(formatted);
        }
    }
    box->setCursorPosition(static_cast<int>(box->text().size()));
}

void SelectAllText(QLineEdit* box) {
    box->selectAll();
}

QString GetToken(const QString& text, const QString& separator, int& position) {
    if (position == 0 || text.isEmpty())
        return {};
    const qsizetype n = separator.size() == 1 ? text.count(separator.at(0)) : 0;
    QString result = n == 0 ? text : QString();
    const QStringList tokens = separator.isEmpty() ? QStringList{text} : text.split(separator);
    if (position < 0)
        position = static_cast<int>(n + position + 2);
    // A position still below 1 lies outside the tokens: nothing to give.
    if (position >= 1 && tokens.size() >= position)
        result = trimBlanks(tokens.at(position - 1));
    return result;
}

int SelectComboByKey(const QString& key, QComboBox* combo, QString& separator, int& position) {
    if (combo->count() == 0)
        return 0;
    if (separator.isEmpty())
        separator = QStringLiteral(":");
    if (position == 0)
        position = 1;
    int p = position;
    if (GetToken(combo->currentText(), separator, p) == key)
        return 0;
    for (int i = 0; i < combo->count(); ++i) {
        int q = position;
        if (GetToken(combo->itemText(i), separator, q) == key) {
            combo->setCurrentIndex(i);
            return 0;
        }
        combo->setCurrentIndex(-1);
    }
    return 0;
}

QString FormatMacAddress(const QByteArray& bytes) {
    bool allZero = true;
    QStringList pairs;
    for (const char b : bytes) {
        if (b != 0)
            allZero = false;
        pairs << QStringLiteral("%1")
                     .arg(static_cast<unsigned char>(b), 2, 16, QLatin1Char('0'))
                     .toUpper();
    }
    if (bytes.isEmpty() || allZero)
        return {};
    return pairs.join(QLatin1Char('-'));
}

namespace {

QByteArray hexPairs(const QString& text) {
    return QByteArray::fromHex(text.toLatin1().replace(':', "").replace('-', ""));
}

QByteArray neighbourAddress(const QString& ip) {
    // /proc/net/arp: IP address, HW type, Flags, HW address, Mask, Device
    QFile arp(QStringLiteral("/proc/net/arp"));
    if (!arp.open(QIODevice::ReadOnly))
        return {};
    arp.readLine();
    while (!arp.atEnd()) {
        const QStringList cols =
            QString::fromLatin1(arp.readLine()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (cols.size() >= 4 && cols.at(0) == ip)
            return hexPairs(cols.at(3));
    }
    return {};
}

} // namespace

bool GetMacAddress(const QString& ip, QString& mac) {
    const QHostAddress address(ip);
    if (address.isNull() || address.protocol() != QAbstractSocket::IPv4Protocol ||
        address.toIPv4Address() == 0)
        return false;
    QByteArray bytes;
    for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces()) {
        for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
            if (entry.ip() == address) {
                bytes = hexPairs(iface.hardwareAddress());
                break;
            }
        }
        if (!bytes.isEmpty())
            break;
    }
    if (bytes.isEmpty())
        bytes = neighbourAddress(ip);
    const QString text = FormatMacAddress(bytes);
    if (text.isEmpty())
        return false;
    mac = text;
    return true;
}

Recordset& reportRecordset() {
    static Recordset slot;
    return slot;
}

void OpenReportRecordset(Connection& db, const Sql& statement) {
    // Assigning closes the previous result.
    reportRecordset() = db.open(statement);
}

} // namespace kalinda
