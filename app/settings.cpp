#include "settings.h"

#include "deployment_settings.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace kalinda {
namespace {

int alphabetValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= 'A' && u <= 'Z')
        return u - 'A';
    if (u >= 'a' && u <= 'z')
        return u - 'a' + 26;
    if (u >= '0' && u <= '9')
        return u - '0' + 52;
    if (u == '+')
        return 62;
    if (u == '/')
        return 63;
    if (u == '=')
        return 0;
    return -1;
}

} // namespace

QString Base64Decode(const QString& encoded) {
    QString clean;
    clean.reserve(encoded.size());
    for (const QChar c : encoded) {
        if (alphabetValue(c) >= 0)
            clean += c;
    }
    const qsizetype groups = clean.size() / 4;
    qsizetype length = groups * 3;
    if (clean.endsWith(QLatin1String("==")))
        length -= 2;
    else if (clean.endsWith(QLatin1Char('=')))
        length -= 1;
    if (length <= 0)
        return {};

    QByteArray bytes;
    bytes.reserve(groups * 3);
    for (qsizetype g = 0; g < groups; ++g) {
        quint32 value = 0;
        for (int k = 0; k < 4; ++k)
            value = (value << 6) | static_cast<quint32>(alphabetValue(clean.at(g * 4 + k)));
        bytes += static_cast<char>((value >> 16) & 0xFF);
        bytes += static_cast<char>((value >> 8) & 0xFF);
        bytes += static_cast<char>(value & 0xFF);
    }
    bytes.truncate(length);
    return QString::fromUtf8(bytes);
}

QString DecodeSetting(const QString& encoded) {
    return Base64Decode(Base64Decode(Base64Decode(encoded)));
}

const EncodedSettings& builtInSettings() {
    static const EncodedSettings settings = [] {
        EncodedSettings s;
        s.hosts = {QString::fromLatin1(deployment::kHost1), QString::fromLatin1(deployment::kHost2),
                   QString::fromLatin1(deployment::kHost3),
                   QString::fromLatin1(deployment::kHost4)};
        s.portLocal = QString::fromLatin1(deployment::kPortLocal);
        s.portServer = QString::fromLatin1(deployment::kPortServer);
        s.user = QString::fromLatin1(deployment::kUser);
        s.password = QString::fromLatin1(deployment::kPassword);
        s.database = QString::fromLatin1(deployment::kDatabase);
        return s;
    }();
    return settings;
}

const std::array<ConnectionProfile, 4>& connectionProfiles() {
    static const std::array<ConnectionProfile, 4> profiles = {{
        {QStringLiteral("1"), QStringLiteral("1 : Lokal")},
        {QStringLiteral("2"), QStringLiteral("2 : Primary")},
        {QStringLiteral("3"), QStringLiteral("3 : Backup-1")},
        {QStringLiteral("4"), QStringLiteral("4 : Backup-2")},
    }};
    return profiles;
}

namespace {

// The file's lines are shell assignments: NAME=value, the value perhaps in quotes.
QHash<QString, QString> readSettingsFile(const QString& path) {
    QHash<QString, QString> file;
    QFile f(path);
    if (f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        while (!f.atEnd()) {
            const QString line = QString::fromUtf8(f.readLine()).trimmed();
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            if (line.startsWith(QLatin1Char('#')) || eq <= 0)
                continue;
            QString value = line.mid(eq + 1).trimmed();
            if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
                value.back() == value.front())
                value = value.mid(1, value.size() - 2);
            file.insert(line.left(eq).trimmed(), value);
        }
    }
    return file;
}

// The environment first (the kiosk session sets it from the file), else the file.
QString setting(const QHash<QString, QString>& file, const char* name) {
    if (qEnvironmentVariableIsSet(name))
        return qEnvironmentVariable(name).trimmed();
    return file.value(QString::fromLatin1(name));
}

} // namespace

TlsFiles tlsSettings(const QString& settingsFile) {
    const QHash<QString, QString> file = readSettingsFile(settingsFile);
    return {setting(file, "KALINDA_DB_CA"), setting(file, "KALINDA_DB_CERT"),
            setting(file, "KALINDA_DB_KEY")};
}

OfficeAccount officeAccount(const QString& settingsFile) {
    const QHash<QString, QString> file = readSettingsFile(settingsFile);
    OfficeAccount account;
    account.user = setting(file, "KALINDA_AUDIT_USER");
    QString path = setting(file, "KALINDA_AUDIT_PASSWORD_FILE");
    const QString credentials = qEnvironmentVariable("CREDENTIALS_DIRECTORY");
    if (!credentials.isEmpty() && QFileInfo::exists(credentials + "/kalinda-audit-password"))
        path = credentials + "/kalinda-audit-password";
    if (account.user.isEmpty() || path.isEmpty()) {
        account.problem = QStringLiteral("no office account: set KALINDA_AUDIT_USER and "
                                         "KALINDA_AUDIT_PASSWORD_FILE in ") +
                          settingsFile;
        return account;
    }
    // A password every user of the PC may read is no office's secret any more.
    const QFileInfo info(path);
    QFile f(path);
    if (info.isFile() && (info.permissions() & QFileDevice::ReadOther))
        account.problem = path + QStringLiteral(" may be read by every user (chmod o-r)");
    else if (!info.isFile() || !f.open(QIODevice::ReadOnly))
        account.problem = QStringLiteral("cannot read the office's password from ") + path;
    if (!account.problem.isEmpty())
        return account;
    QByteArray bytes = f.readAll();
    if (bytes.endsWith('\n'))
        bytes.chop(bytes.endsWith("\r\n") ? 2 : 1);
    account.password = QString::fromUtf8(bytes);
    return account;
}

QString schoolName() {
    return QString::fromUtf8(deployment::kSchoolName);
}

} // namespace kalinda
