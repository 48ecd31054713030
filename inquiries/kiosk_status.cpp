#include "kiosk_status.h"

#include <QStringList>

namespace kalinda {
namespace {

QString age(qint64 seconds) {
    if (seconds < 120)
        return QStringLiteral("%1 s").arg(seconds);
    if (seconds < 2 * 3600)
        return QStringLiteral("%1 min").arg(seconds / 60);
    if (seconds < 2 * 86400)
        return QStringLiteral("%1 h").arg(seconds / 3600);
    return QStringLiteral("%1 days").arg(seconds / 86400);
}

} // namespace

QString accountName(const KioskStatus& k) {
    if (k.account.isEmpty())
        return QStringLiteral("?");
    return k.sharedAccount ? k.account + QStringLiteral(" (bersama)") : k.account;
}

void judgeKiosk(KioskStatus& k, int staleAfterSeconds) {
    if (!k.closedAt.isEmpty()) {
        k.colour = StatusColour::Grey;
        k.reason = QStringLiteral("ditutup ") + k.closedAt;
        return;
    }
    QStringList red;
    QStringList amber;
    if (k.ageSeconds > staleAfterSeconds)
        red << QStringLiteral("stale: no heartbeat for %1").arg(age(k.ageSeconds));
    if (k.inDoubt > 0)
        red << QStringLiteral("%1 posting(s) in doubt").arg(k.inDoubt);
    if (k.printer == QLatin1String("paper out"))
        red << QStringLiteral("printer: paper out");
    else if (k.printer == QLatin1String("paper low") || k.printer == QLatin1String("offline") ||
             k.printer == QLatin1String("jobs stuck"))
        amber << QStringLiteral("printer: ") + k.printer;
    if (!k.server.isEmpty() && k.server != k.profileServer)
        amber << QStringLiteral("on server %1, not its profile's %2")
                     .arg(k.server,
                          k.profileServer.isEmpty() ? QStringLiteral("?") : k.profileServer);
    k.colour = !red.isEmpty()     ? StatusColour::Red
               : !amber.isEmpty() ? StatusColour::Amber
                                  : StatusColour::Green;
    const QStringList reasons = red + amber;
    k.reason = reasons.isEmpty() ? QStringLiteral("ok") : reasons.join(QStringLiteral("; "));
}

std::vector<KioskStatus> readKioskStatus(Connection& db, int staleAfterSeconds) {
    Recordset rs = db.open(Sql("CALL StatusKiosk()"));
    std::vector<KioskStatus> kiosks;
    for (; !rs.eof(); rs.moveNext()) {
        KioskStatus k;
        k.machine = rs.text(QStringLiteral("hb_mesin"));
        k.hostName = rs.text(QStringLiteral("hb_hostname"));
        k.ipAddress = rs.text(QStringLiteral("hb_ipaddress"));
        k.version = rs.text(QStringLiteral("hb_version"));
        k.profile = rs.text(QStringLiteral("hb_profil"));
        k.profileServer = rs.text(QStringLiteral("hb_server_profil"));
        k.server = rs.text(QStringLiteral("hb_server"));
        k.lastSeen = rs.text(QStringLiteral("hb_terakhir"));
        k.lastPosting = rs.text(QStringLiteral("hb_posting_terakhir"));
        k.printer = rs.text(QStringLiteral("hb_printer"));
        k.ageSeconds = rs.value(QStringLiteral("hb_umur")).toLongLong();
        k.inDoubt = rs.value(QStringLiteral("hb_tertunda")).toInt();
        k.visitOpen = rs.value(QStringLiteral("hb_kunjungan")).toInt() != 0;
        // A database not yet upgraded knows no accounts and no closing.
        if (rs.hasColumn(QStringLiteral("hb_akun"))) {
            k.account = rs.text(QStringLiteral("hb_akun"));
            k.sharedAccount = rs.value(QStringLiteral("hb_akun_bersama")).toInt() != 0;
            k.closedAt = rs.text(QStringLiteral("hb_ditutup"));
        }
        judgeKiosk(k, staleAfterSeconds);
        kiosks.push_back(std::move(k));
    }
    return kiosks;
}

QString colourName(StatusColour colour) {
    switch (colour) {
    case StatusColour::Green:
        return QStringLiteral("green");
    case StatusColour::Amber:
        return QStringLiteral("amber");
    case StatusColour::Grey:
        return QStringLiteral("grey");
    case StatusColour::Red:
        break;
    }
    return QStringLiteral("red");
}

QString statusLine(const KioskStatus& k) {
    const QString name = k.hostName.isEmpty() ? k.machine : k.hostName;
    return QStringLiteral("%1 %2 (%3, %4): %5 | seen %6 ago, printer %7, %8 in doubt, visit %9, "
                          "profile %10 on %11, version %12, last posting %13, account %14")
        // One call: a value holding "%1" is never taken for a place of another.
        .arg(colourName(k.colour).leftJustified(5), name, k.ipAddress, k.machine, k.reason,
             age(k.ageSeconds), k.printer.isEmpty() ? QStringLiteral("?") : k.printer,
             QString::number(k.inDoubt),
             k.visitOpen ? QStringLiteral("open") : QStringLiteral("none"), k.profile, k.server,
             k.version, k.lastPosting.isEmpty() ? QStringLiteral("none") : k.lastPosting,
             accountName(k));
}

} // namespace kalinda
