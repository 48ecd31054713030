#pragma once

#include "app/settings.h"

#include <QDate>
#include <QString>

class QCommandLineParser;
class QTextStream;

namespace kalinda {

// `kalinda audit`: the audit of the kiosks' postings without a window, for the office and the
// daily timer.
inline const QString kAuditCommand = QStringLiteral("audit");

// Exit statuses, so that a timer or a monitoring system tells the three apart.
enum AuditExit { AuditNothingFound = 0, AuditFound = 1, AuditNotRun = 2 };

struct AuditJob {
    QDate first;
    QDate last;
    QString csv;
    QString profile = QStringLiteral("1");
};

// Reads --from and --to (YYYY-MM-DD, "today" or "yesterday"; by default yesterday and today),
// --csv and --profile, and refuses the report's other options. An empty text when the job is
// sound, else what is wrong.
QString readAuditJob(const QCommandLineParser& parser, AuditJob& job,
                     QDate today = QDate::currentDate());

// Runs the audit as the office's account on the server of the job's profile: one line per
// finding and a summary to `out`, the CSV when asked, why it could not run to `err`.
int runAuditJob(const AuditJob& job, QTextStream& out, QTextStream& err,
                const OfficeAccount& account = officeAccount(),
                const EncodedSettings& stored = builtInSettings());

} // namespace kalinda
