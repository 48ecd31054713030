#pragma once

#include "app/db.h"

#include <QDate>
#include <QString>

namespace kalinda {

struct MachineIdentity {
    QString ipAddress;
    QString hostName;
    QString macAddress; // "(SendARP call failed)" when it cannot be found, empty without an IP
};

// This machine's primary IPv4 address, host name and hardware address.
MachineIdentity localMachineIdentity();
// The MAC text of the login row for an IP address.
QString macTextFor(const QString& ipAddress);

// Writes the start-up row of log_login and stamps the new kiosk session id on the operator's
// alias row. Returns the session id. Database errors go to the caller.
QString LogLogin(Connection& db, const MachineIdentity& machine, const QString& version,
                 const QDate& today = QDate::currentDate());

} // namespace kalinda
