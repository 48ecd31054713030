#pragma once

#include "db.h"

#include <QString>
#include <array>

namespace kalinda {

// Standard base64 decoding: characters outside the alphabet (and "=") are skipped; output
// length is (length / 4) * 3 less one per trailing "="; the bytes are read as UTF-8, the
// encoding the settings are written in on the build machine.
QString Base64Decode(const QString& encoded);
// The connection settings are stored base64-encoded three times.
QString DecodeSetting(const QString& encoded);

// The stored (encoded) connection settings of the four profiles.
struct EncodedSettings {
    std::array<QString, 4> hosts; // profiles 1..4
    QString portLocal;            // profile 1
    QString portServer;           // profiles 2..4
    QString user;
    QString password;
    QString database;
};

// The settings this build was made with.
const EncodedSettings& builtInSettings();

struct ConnectionProfile {
    QString code;     // "1".."4"
    QString listText; // "1 : Lokal" …
};

const std::array<ConnectionProfile, 4>& connectionProfiles();

// The TLS files of the link to the server, read at run time so the school can change them without
// a new build: KALINDA_DB_CA, KALINDA_DB_CERT and KALINDA_DB_KEY from the environment (the kiosk
// session sets them from /etc/default/kalinda), else from that file itself, so that an operator's
// `kalinda report` uses them too. A variable set to nothing in the environment means none.
TlsFiles tlsSettings(const QString& settingsFile = QStringLiteral("/etc/default/kalinda"));

// The school's name on the main screen's title line.
QString schoolName();

} // namespace kalinda
