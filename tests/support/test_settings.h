#pragma once

#include "app/settings.h"
#include "support/mariadb_server.h"

namespace kalinda::test {

// A setting stored the way the program stores them: base64 three times.
inline QString encode3(const QString& plain) {
    QByteArray b = plain.toUtf8(); // as the build encodes them
    for (int i = 0; i < 3; ++i)
        b = b.toBase64();
    return QString::fromLatin1(b);
}

// Profile 1 points at this test program's server; 2 to 4 at names that never resolve.
inline EncodedSettings testSettings() {
    EncodedSettings s = builtInSettings();
    s.hosts = {encode3(QStringLiteral("127.0.0.1")),
               encode3(QStringLiteral("primary.kalinda.invalid")),
               encode3(QStringLiteral("backup1.kalinda.invalid")),
               encode3(QStringLiteral("backup2.kalinda.invalid"))};
    s.portLocal = encode3(QString::number(MariaDbServer::instance().port()));
    s.portServer = encode3(QStringLiteral("3306"));
    return s;
}

// The office's account that the test database grants the audit to.
inline OfficeAccount testOfficeAccount() {
    return {
        QStringLiteral(KALINDA_TEST_OFFICE_USER), QStringLiteral(KALINDA_TEST_OFFICE_PASSWORD), {}};
}

} // namespace kalinda::test
