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

// The kiosk's user at the server the options name. A benchmark's long queries may keep the
// server busy far longer than a kiosk's statement would.
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

// The folder of a server of scripts/db: the variable it reads (KALINDA_DB_DIR for the demo
// server, KALINDA_CLUSTER_DIR for the cluster), else its folder in this checkout.
inline QString scriptsDbFolder(const char* variable, const char* inCheckout) {
    const QString set = qEnvironmentVariable(variable);
    return set.isEmpty() ? QStringLiteral(KALINDA_SOURCE_DIR "/") + QLatin1String(inCheckout) : set;
}

// The administrator who seeds the benchmark's accounts and ledgers, since the kiosk's user may
// not: root over `socket` (by default that of scripts/db's server), or --admin-user with
// --admin-password over TCP at the benchmark's server.
inline void addAdminOptions(QCommandLineParser& options, const QString& socket) {
    options.addOption({QStringLiteral("admin-socket"),
                       QStringLiteral("root's unix socket of the server."), QStringLiteral("S"),
                       socket});
    options.addOption({QStringLiteral("admin-user"),
                       QStringLiteral("An administrator over TCP instead of root's socket."),
                       QStringLiteral("U")});
    options.addOption({QStringLiteral("admin-password"),
                       QStringLiteral("The administrator's password."), QStringLiteral("P")});
}

inline void addAdminOptions(QCommandLineParser& options) {
    addAdminOptions(options, scriptsDbFolder("KALINDA_DB_DIR", ".kalinda/db") +
                                 QStringLiteral("/mysqld.sock"));
}

// The administrator at the server `kiosk` goes to, in the kiosk's schema.
inline ConnectParams adminParams(const QCommandLineParser& options, const ConnectParams& kiosk) {
    ConnectParams params = kiosk;
    if (options.isSet(QStringLiteral("admin-user"))) {
        params.user = options.value(QStringLiteral("admin-user"));
        params.password = options.value(QStringLiteral("admin-password"));
    } else {
        params.unixSocket = options.value(QStringLiteral("admin-socket"));
        params.user = QStringLiteral("root");
        params.password.clear();
    }
    params.readTimeoutSeconds = 600;
    params.writeTimeoutSeconds = 600;
    params.lockWaitTimeoutSeconds = 60;
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

// Connects the administrator of adminParams(); false, and why, when it could not.
inline bool connectAdminOrSay(Connection& db, const ConnectParams& params) {
    if (connectOrSay(db, params))
        return true;
    std::cerr << "The benchmark seeds its data as an administrator: start scripts/db, or name "
                 "another with --admin-socket, or --admin-user and --admin-password.\n";
    return false;
}

// A benchmark posts far faster than a student at a kiosk: while it runs, the guard's limit of
// daily numbers a writer may take a minute is lifted for every kiosk account on its server, and
// afterwards put back as it was (36-guard-kiosk.sql, data_kiosk_akun). So is the watchdog's
// bound (41-kiosk-accounts.sql): a benchmark's reads over a large ledger may run longer.
class KioskLimitsLifted {
public:
    explicit KioskLimitsLifted(const ConnectParams& admin) {
        db_.connect(admin);
        if (db_.status() != 0)
            return; // the benchmark says so when it needs the administrator itself
        for (Recordset rs = db_.open(Sql("SELECT akun_nama, akun_nomor_per_menit, "
                                         "akun_batas_detik FROM `cashless-adm`.data_kiosk_akun"));
             !rs.eof(); rs.moveNext())
            was_.push_back(
                {rs.value(0).toString(), rs.value(1).toLongLong(), rs.value(2).toLongLong()});
        db_.execute(Sql("UPDATE `cashless-adm`.data_kiosk_akun SET akun_nomor_per_menit = "
                        "1000000000, akun_batas_detik = 86400"));
    }
    ~KioskLimitsLifted() {
        try {
            for (const auto& [name, limit, bound] : was_) {
                Sql back("UPDATE `cashless-adm`.data_kiosk_akun SET akun_nomor_per_menit = ");
                back << limit << ", akun_batas_detik = " << bound << " WHERE akun_nama = '"
                     << esc(name) << "'";
                db_.execute(back);
            }
        } catch (const DbError& e) {
            std::cerr << "the kiosk accounts' limits were not put back: " << e.what() << '\n';
        }
    }
    KioskLimitsLifted(const KioskLimitsLifted&) = delete;
    KioskLimitsLifted& operator=(const KioskLimitsLifted&) = delete;

private:
    Connection db_;
    struct Account {
        QString name;
        long long limit;
        long long bound;
    };
    std::vector<Account> was_;
};

} // namespace kalinda::bench
