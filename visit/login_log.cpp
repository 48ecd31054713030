#include "login_log.h"

#include "app/helpers.h"
#include "app/visit_state.h"
#include "postings/identifiers.h"

#include <QHostInfo>
#include <QNetworkInterface>

namespace kalinda {

QString macTextFor(const QString& ipAddress) {
    if (ipAddress.isEmpty())
        return {};
    QString mac;
    if (GetMacAddress(ipAddress, mac))
        return mac;
    return QStringLiteral("(SendARP call failed)");
}

MachineIdentity localMachineIdentity() {
    MachineIdentity m;
    for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces()) {
        const auto flags = iface.flags();
        if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning) ||
            (flags & QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol) {
                m.ipAddress = entry.ip().toString();
                break;
            }
        }
        if (!m.ipAddress.isEmpty())
            break;
    }
    m.hostName = QHostInfo::localHostName();
    m.macAddress = macTextFor(m.ipAddress);
    return m;
}

QString LogLogin(Connection& db, const MachineIdentity& machine, const QString& version,
                 const QDate& today) {
    const QString session = IdReg(db, kSessionIds, today);
    Sql insert;
    insert << "INSERT INTO log_login SET "
           << " log_alias = '" << esc(operatorAlias())
           << "', log_tanggal = now(), log_ipaddress = '" << esc(machine.ipAddress)
           << "', log_hostname = '" << esc(machine.hostName) << "', log_macaddress = '"
           << esc(machine.macAddress) << "', log_version = '" << esc(version)
           << "', log_session = '" << esc(session) << "' ";
    db.execute(insert);
    Sql update;
    update << "UPDATE data_pengguna_alias SET "
           << "user_session = '" << esc(session) << "', user_last_login = NOW() "
           << "WHERE user_alias = '" << esc(operatorAlias()) << "' ";
    db.execute(update);
    return session;
}

} // namespace kalinda
