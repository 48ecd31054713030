#include "failover.h"

#include "connection.h"

namespace kalinda {

QStringList failoverProfiles(const QString& setting) {
    QStringList codes;
    for (const QString& part : setting.split(QLatin1Char(','))) {
        const QString code = part.trimmed();
        const bool server =
            code == QLatin1String("2") || code == QLatin1String("3") || code == QLatin1String("4");
        if (server && !codes.contains(code))
            codes << code;
    }
    return codes;
}

QString failOver(Connection& db, const QString& current, const QStringList& profiles,
                 const EncodedSettings& stored) {
    if (profiles.isEmpty())
        return {};
    // The profiles after the current one first, then round to it.
    const qsizetype at = profiles.indexOf(current);
    QStringList order = profiles.mid(at + 1) + profiles.mid(0, at + 1);
    // Each attempt points `db` at the profile tried; a failed round must leave it at its own.
    const ConnectParams own = db.params();
    const auto& table = connectionProfiles();
    ConnectionSettings& s = connectionSettings();
    for (const QString& code : order) {
        for (std::size_t i = 1; i < table.size(); ++i) {
            if (table[i].code != code)
                continue;
            const QString address = DecodeSetting(stored.hosts[i]);
            const QString port = DecodeSetting(stored.portServer);
            bool portOk = false;
            const int portNumber = port.trimmed().toInt(&portOk);
            // Everything but the server stays as the kiosk connected: TLS, timeouts.
            ConnectParams params = own;
            params.host = address;
            params.port = portOk ? portNumber : 0;
            params.unixSocket.clear();
            // The account too: the deployment's own, when the kiosk connected with it.
            if (own.user.isEmpty()) {
                params.user = DecodeSetting(stored.user);
                params.password = DecodeSetting(stored.password);
            }
            params.database = DecodeSetting(stored.database);
            db.connect(params);
            if (db.status() == 0) {
                s.ServerAddress = address;
                s.ServerPort = port;
                s.ProfileCode = code;
                return code;
            }
        }
    }
    if (at < 0)
        db.connect(own);
    return {};
}

} // namespace kalinda
