#include "settings.h"

#include "deployment_settings.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

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

// A setting of the deployment: from the environment (the kiosk session sets it from
// /etc/default/kalinda), else from that file itself, so that an operator's `kalinda report`
// uses it too. A variable set to nothing in the environment means none.
class DeploymentSettings {
public:
    explicit DeploymentSettings(const QString& settingsFile) {
        // The file's lines are shell assignments: NAME=value, the value perhaps in quotes.
        QFile f(settingsFile);
        if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
            return;
        while (!f.atEnd()) {
            const QString line = QString::fromUtf8(f.readLine()).trimmed();
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            if (line.startsWith(QLatin1Char('#')) || eq <= 0)
                continue;
            QString value = line.mid(eq + 1).trimmed();
            if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
                value.back() == value.front())
                value = value.mid(1, value.size() - 2);
            file_.insert(line.left(eq).trimmed(), value);
        }
    }

    QString value(const char* name) const {
        if (qEnvironmentVariableIsSet(name))
            return qEnvironmentVariable(name).trimmed();
        return file_.value(QString::fromLatin1(name));
    }

private:
    QHash<QString, QString> file_;
};

// A database password kept in a file of its own. One that every user of the PC may read is no
// secret any more: anyone there could log in with it.
enum class SecretFile { Read, ReadByOthers, Unreadable };
SecretFile readSecretFile(const QString& path, QByteArray& secret) {
    const QFileInfo info(path);
    if (info.isFile() && (info.permissions() & QFileDevice::ReadOther))
        return SecretFile::ReadByOthers;
    QFile f(path);
    if (!info.isFile() || !f.open(QIODevice::ReadOnly))
        return SecretFile::Unreadable;
    secret = f.readAll();
    return SecretFile::Read;
}

} // namespace

TlsFiles tlsSettings(const QString& settingsFile) {
    const DeploymentSettings settings(settingsFile);
    return {settings.value("KALINDA_DB_CA"), settings.value("KALINDA_DB_CERT"),
            settings.value("KALINDA_DB_KEY")};
}

OfficeAccount officeAccount(const QString& settingsFile) {
    const DeploymentSettings settings(settingsFile);
    OfficeAccount account;
    account.user = settings.value("KALINDA_AUDIT_USER");
    QString path = settings.value("KALINDA_AUDIT_PASSWORD_FILE");
    const QString credentials = qEnvironmentVariable("CREDENTIALS_DIRECTORY");
    if (!credentials.isEmpty() && QFileInfo::exists(credentials + "/kalinda-audit-password"))
        path = credentials + "/kalinda-audit-password";
    if (account.user.isEmpty() || path.isEmpty()) {
        account.problem = QStringLiteral("no office account: set KALINDA_AUDIT_USER and "
                                         "KALINDA_AUDIT_PASSWORD_FILE in ") +
                          settingsFile;
        return account;
    }
    QByteArray bytes;
    switch (readSecretFile(path, bytes)) {
    case SecretFile::ReadByOthers:
        account.problem = path + QStringLiteral(" may be read by every user (chmod o-r)");
        return account;
    case SecretFile::Unreadable:
        account.problem = QStringLiteral("cannot read the office's password from ") + path;
        return account;
    case SecretFile::Read:
        break;
    }
    if (bytes.endsWith('\n'))
        bytes.chop(bytes.endsWith("\r\n") ? 2 : 1);
    account.password = QString::fromUtf8(bytes);
    return account;
}

std::optional<DbAccount> accountSettings(const QString& settingsFile) {
    const DeploymentSettings settings(settingsFile);
    const QString user = settings.value("KALINDA_DB_USER");
    const QString passwordFile = settings.value("KALINDA_DB_PASSWORD_FILE");
    if (user.isEmpty() && passwordFile.isEmpty())
        return std::nullopt;
    DbAccount account;
    account.user = user;
    static const QRegularExpression userShape(QStringLiteral("^[A-Za-z0-9_.-]{1,80}$"));
    if (!userShape.match(DecodeSetting(user)).hasMatch()) {
        account.error = QStringLiteral("KALINDA_DB_USER bukan nama akun yang tersandi");
        return account;
    }
    if (passwordFile.isEmpty()) {
        account.error = QStringLiteral("KALINDA_DB_PASSWORD_FILE tidak diisi");
        return account;
    }
    QByteArray secret;
    switch (readSecretFile(passwordFile, secret)) {
    case SecretFile::ReadByOthers:
        account.error =
            QStringLiteral("file kata sandi %1 dapat dibaca semua pengguna").arg(passwordFile);
        return account;
    case SecretFile::Unreadable:
        account.error = QStringLiteral("file kata sandi %1 tidak terbaca").arg(passwordFile);
        return account;
    case SecretFile::Read:
        break;
    }
    account.password = QString::fromLatin1(secret).trimmed();
    if (account.password.isEmpty() || DecodeSetting(account.password).isEmpty())
        account.error =
            QStringLiteral("file kata sandi %1 kosong atau tidak tersandi").arg(passwordFile);
    return account;
}

QString schoolName() {
    return QString::fromUtf8(deployment::kSchoolName);
}

} // namespace kalinda
