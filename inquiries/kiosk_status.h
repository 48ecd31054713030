#pragma once

#include "app/db.h"
#include "app/settings.h"

#include <QString>
#include <vector>

class QTextStream;

namespace kalinda {

// The office's view of every kiosk, from the heartbeats the kiosks write.
enum class StatusColour { Green, Amber, Red, Grey };

struct KioskStatus {
    QString machine;
    QString hostName;
    QString ipAddress;
    QString version;
    QString profile;
    QString profileServer;
    QString server;
    QString lastSeen;    // server time of the last heartbeat
    QString lastPosting; // server time of the last posting, "" when none is known
    QString printer;     // "ready", "paper out", "paper low", "offline", "jobs stuck", "none"
    qint64 ageSeconds = 0;
    int inDoubt = 0;
    bool visitOpen = false;
    QString account;           // the database account that wrote the row
    bool sharedAccount = true; // the shared one (or rows written before accounts were known)
    QString closedAt;          // server time of its closing beat, "" while it runs

    StatusColour colour = StatusColour::Green;
    QString reason; // why the colour, "ok" when green
};

// No heartbeat for this long: the kiosk is taken for stopped.
inline constexpr int kStaleAfterSeconds = 120;

// Sets the colour and the reason. Grey: closed on purpose ("ditutup"), whatever its age; red:
// stale, a posting in doubt, or no paper at all; amber: paper low, the printer offline or its
// jobs stuck, or a server other than its profile's.
void judgeKiosk(KioskStatus& kiosk, int staleAfterSeconds = kStaleAfterSeconds);

// Every kiosk's row, judged; ages by the server's clock. Throws DbError.
std::vector<KioskStatus> readKioskStatus(Connection& db,
                                         int staleAfterSeconds = kStaleAfterSeconds);

QString colourName(StatusColour colour); // "green", "amber", "red", "grey"
// The account that wrote a kiosk's row, "(bersama)" after the shared one.
QString accountName(const KioskStatus& kiosk);
// One line for the console: colour, kiosk, reason, then what it said of itself.
QString statusLine(const KioskStatus& kiosk);

// `kalinda status`: the headless command, for cron and monitoring systems.
inline const QString kStatusCommand = QStringLiteral("status");
// Exit statuses; wrong options (2) and no database (3) as the report command's.
enum StatusExit { StatusNoRed = 0, StatusRed = 1, StatusUsage = 2, StatusNoDatabase = 3 };

// Connects with `profile`, prints one line per kiosk to `out` and returns the exit status.
// Connection messages go to `err`.
int runStatusCommand(const QString& profile, QTextStream& out, QTextStream& err,
                     const EncodedSettings& stored = builtInSettings(),
                     int staleAfterSeconds = kStaleAfterSeconds);

} // namespace kalinda
