#pragma once

#include "db.h"

#include <QString>
#include <array>
#include <optional>

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

// Where the deployment's run-time settings live (shell assignments, see packaging/kalinda.default).
inline const QString kSettingsFile = QStringLiteral("/etc/default/kalinda");

// The TLS files of the link to the server, read at run time so the school can change them without
// a new build: KALINDA_DB_CA, KALINDA_DB_CERT and KALINDA_DB_KEY from the environment (the kiosk
// session sets them from /etc/default/kalinda), else from that file itself, so that an operator's
// `kalinda report` uses them too. A variable set to nothing in the environment means none.
TlsFiles tlsSettings(const QString& settingsFile = kSettingsFile);

// The office's database account, which runs the audit. Never compiled in: every kiosk carries
// the program. KALINDA_AUDIT_USER and KALINDA_AUDIT_PASSWORD_FILE are read as the TLS files
// are; under systemd the credential "kalinda-audit-password" stands in for the file.
struct OfficeAccount {
    QString user;
    QString password;
    QString problem; // why there is no account to use, "" when there is
};
OfficeAccount officeAccount(const QString& settingsFile = kSettingsFile);

// The kiosk's own database account, when the deployment gives one (KALINDA_DB_USER and
// KALINDA_DB_PASSWORD_FILE, found as the TLS files are): both encoded as the built-in settings
// are, the password alone in its file, which only the kiosk's group may read.
struct DbAccount {
    QString user;     // encoded
    QString password; // encoded
    QString error;    // why the account cannot be used; empty when it can
};

// None: the deployment names no account and the built-in one holds. An account named but
// unreadable or malformed comes back with its error, never as a fall-back to the built-in one.
std::optional<DbAccount> accountSettings(const QString& settingsFile = kSettingsFile);

// The school's name on the main screen's title line.
QString schoolName();

} // namespace kalinda
