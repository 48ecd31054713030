#pragma once

#include "app/db.h"
#include "app/settings.h"

#include <QCommandLineParser>
#include <iostream>

namespace kalinda::bench {

// --host and --port of a benchmark, by default the server of the local profile.
inline void addServerOptions(QCommandLineParser& options) {
    options.addOption({QStringLiteral("host"), QStringLiteral("Server."), QStringLiteral("H"),
                       DecodeSetting(builtInSettings().hosts[0])});
    options.addOption({QStringLiteral("port"), QStringLiteral("Port."), QStringLiteral("P"),
                       DecodeSetting(builtInSettings().portLocal)});
}

// The kiosk's user at the server the options name. A benchmark's seeding and long queries
// may keep the server busy far longer than a kiosk's statement would.
inline ConnectParams serverParams(const QCommandLineParser& options) {
    ConnectParams params;
    params.host = options.value(QStringLiteral("host"));
    params.port = options.value(QStringLiteral("port")).toInt();
    params.user = DecodeSetting(builtInSettings().user);
    params.password = DecodeSetting(builtInSettings().password);
    params.database = DecodeSetting(builtInSettings().database);
    params.readTimeoutSeconds = 600;
    params.writeTimeoutSeconds = 600;
    return params;
}

// Connects `db`; false, and why on stderr, when it could not.
inline bool connectOrSay(Connection& db, const ConnectParams& params) {
    db.connect(params);
    if (db.status() == 0)
        return true;
    std::cerr << "cannot connect: " << db.lastError().toStdString() << '\n';
    return false;
}

} // namespace kalinda::bench
