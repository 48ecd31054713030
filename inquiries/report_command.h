#pragma once

#include "app/settings.h"
#include "report.h"

#include <QString>

class QCommandLineParser;
class QTextStream;

namespace kalinda {

// `kalinda report …`: the report written without a window, for the administration's scripts.
struct ReportJob {
    ReportPeriod period;
    QString pdf;
    QString csv;
    QString printer;
    QString operatorName;
    QString profile = QStringLiteral("1");
};

// Exit statuses of the report command.
enum ReportExit { ReportDone = 0, ReportUsage = 2, ReportNoDatabase = 3, ReportNotWritten = 4 };

// The options of the report command (--from, --to, --user, --pdf, --csv, --printer,
// --operator). The program adds --profile, which the kiosk shares.
void addReportOptions(QCommandLineParser& parser);

// Reads the job from parsed options; an empty text when it is sound, else what is wrong.
QString readReportJob(const QCommandLineParser& parser, ReportJob& job);

// Connects with the job's profile, writes the report and returns the exit status. Messages,
// those of the connection included, go to `err`.
int runReportJob(const ReportJob& job, QTextStream& err,
                 const EncodedSettings& stored = builtInSettings());

} // namespace kalinda
