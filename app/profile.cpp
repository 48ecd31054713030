#include "profile.h"

#include "connection.h"

#include <QCommandLineParser>

namespace kalinda {

bool isProfileCode(const QString& code) {
    for (const auto& profile : connectionProfiles()) {
        if (code == profile.code)
            return true;
    }
    return false;
}

QString takeProfileOption(const QCommandLineParser& parser, QString& profile) {
    if (parser.isSet(QStringLiteral("profile")))
        profile = parser.value(QStringLiteral("profile"));
    if (!isProfileCode(profile))
        return QStringLiteral("--profile: there is no connection profile \"%1\" (1 to 4).")
            .arg(profile);
    return {};
}

bool ApplyProfile(const QString& code, const EncodedSettings& stored) {
    ConnectionSettings& s = connectionSettings();
    const auto& profiles = connectionProfiles();
    for (std::size_t i = 0; i < profiles.size(); ++i) {
        if (code == profiles[i].code) {
            s.ServerAddress = DecodeSetting(stored.hosts[i]);
            s.ServerPort = DecodeSetting(i == 0 ? stored.portLocal : stored.portServer);
            s.ProfileCode = code;
            return true;
        }
    }
    return false;
}

QString profileServer(const QString& code, const EncodedSettings& stored) {
    const auto& profiles = connectionProfiles();
    for (std::size_t i = 0; i < profiles.size(); ++i) {
        if (code == profiles[i].code) {
            const QString port = DecodeSetting(i == 0 ? stored.portLocal : stored.portServer);
            return DecodeSetting(stored.hosts[i]) + QLatin1Char(':') +
                   QString::number(port.trimmed().toInt());
        }
    }
    return {};
}

bool ConnectProfile(const QString& code, const EncodedSettings& stored) {
    ApplyProfile(code, stored);
    OpenSpareConnection(stored);
    OpenConnection(stored);
    return DbConn().status() == 0;
}

} // namespace kalinda
