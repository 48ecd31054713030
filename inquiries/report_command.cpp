#include "report_command.h"

#include "app/connection.h"
#include "app/dialogs.h"
#include "app/profile.h"
#include "kiosk_status.h"
#include "report_output.h"

#include <QCommandLineParser>
#include <QDialog>
#include <QTextStream>

namespace kalinda {
namespace {

// Without a window every message goes to the error stream and nothing waits for an answer.
class ConsoleDialogs final : public Dialogs {
public:
    explicit ConsoleDialogs(QTextStream& err)
        : err_(err)
        , previous_(&dialogs()) {
        setDialogs(this);
    }
    ~ConsoleDialogs() override { setDialogs(previous_); }
    ConsoleDialogs(const ConsoleDialogs&) = delete;
    ConsoleDialogs& operator=(const ConsoleDialogs&) = delete;

    void message(QWidget*, MessageIcon, const QString& text, const QString&) override {
        // The connection warning comes once per connection; once is enough here.
        if (text != last_)
            err_ << "kalinda: " << text << Qt::endl;
        last_ = text;
    }
    std::optional<QString> input(QWidget*, const QString&, const QString&, const QString&,
                                 InputEcho) override {
        return std::nullopt;
    }
    int exec(QDialog&) override { return QDialog::Rejected; }

private:
    QTextStream& err_;
    Dialogs* previous_;
    QString last_;
};

QDate readDate(const QString& text) {
    return QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
}

} // namespace

void addReportOptions(QCommandLineParser& parser) {
    parser.addOptions({
        {QStringLiteral("from"), QStringLiteral("report, audit: first day of the period."),
         QStringLiteral("YYYY-MM-DD")},
        {QStringLiteral("to"), QStringLiteral("report, audit: last day of the period."),
         QStringLiteral("YYYY-MM-DD")},
        {QStringLiteral("user"), QStringLiteral("report: only the postings of this user."),
         QStringLiteral("U")},
        {QStringLiteral("pdf"), QStringLiteral("report: write it as PDF to FILE."),
         QStringLiteral("FILE")},
        {QStringLiteral("csv"), QStringLiteral("report, audit: write its rows as CSV to FILE."),
         QStringLiteral("FILE")},
        {QStringLiteral("printer"), QStringLiteral("report: print it on the A4 printer NAME."),
         QStringLiteral("NAME")},
        {QStringLiteral("operator"),
         QStringLiteral("Name after \"Dicetak oleh\" on the report (default: the system "
                        "account)."),
         QStringLiteral("NAME")},
    });
}

QString readReportJob(const QCommandLineParser& parser, ReportJob& job) {
    for (const char* name : {"from", "to"}) {
        if (!parser.isSet(QString::fromLatin1(name)))
            return QStringLiteral("--%1 YYYY-MM-DD is required.").arg(QString::fromLatin1(name));
    }
    job.period.first = readDate(parser.value(QStringLiteral("from")));
    job.period.last = readDate(parser.value(QStringLiteral("to")));
    if (!job.period.first.isValid())
        return QStringLiteral("--from: \"%1\" is not a date YYYY-MM-DD.")
            .arg(parser.value(QStringLiteral("from")));
    if (!job.period.last.isValid())
        return QStringLiteral("--to: \"%1\" is not a date YYYY-MM-DD.")
            .arg(parser.value(QStringLiteral("to")));
    if (job.period.first > job.period.last)
        return QStringLiteral("The period is reversed: --from %1 comes after --to %2.")
            .arg(parser.value(QStringLiteral("from")), parser.value(QStringLiteral("to")));
    job.period.user = parser.value(QStringLiteral("user"));
    job.pdf = parser.value(QStringLiteral("pdf"));
    job.csv = parser.value(QStringLiteral("csv"));
    job.printer = parser.value(QStringLiteral("printer"));
    const int outputs =
        int(!job.pdf.isEmpty()) + int(!job.csv.isEmpty()) + int(!job.printer.isEmpty());
    if (outputs != 1)
        return QStringLiteral("Give exactly one of --pdf FILE, --csv FILE or --printer NAME.");
    job.operatorName = reportOperatorName(parser.value(QStringLiteral("operator")));
    return takeProfileOption(parser, job.profile);
}

int runReportJob(const ReportJob& job, QTextStream& err, const EncodedSettings& stored) {
    ConsoleDialogs console(err);
    ApplyProfile(job.profile, stored);
    connectionSettings().ReadTimeoutSeconds = kReportReadTimeoutSeconds;
    OpenConnection(stored);
    if (DbConn().status() != 0)
        return ReportNoDatabase;
    QString error;
    try {
        rptTransaksi report(DbConn(), LoadParameters(DbConn()).AppParam, job.period,
                            job.operatorName);
        if (!job.pdf.isEmpty())
            error = saveReportPdf(report, job.pdf);
        else if (!job.csv.isEmpty())
            error = saveReportCsv(report, job.csv);
        else
            error = printReport(report, job.printer);
    } catch (const DbError& e) {
        err << "kalinda: the report could not be read: " << e.message() << Qt::endl;
        return ReportNoDatabase;
    }
    if (!error.isEmpty()) {
        err << "kalinda: " << error << Qt::endl;
        return ReportNotWritten;
    }
    return ReportDone;
}

int runStatusCommand(const QString& profile, QTextStream& out, QTextStream& err,
                     const EncodedSettings& stored, int staleAfterSeconds) {
    if (!isProfileCode(profile)) {
        err << "kalinda status: there is no connection profile \"" << profile << "\" (1 to 4)"
            << Qt::endl;
        return StatusUsage;
    }
    ConsoleDialogs console(err);
    ApplyProfile(profile, stored);
    OpenConnection(stored);
    if (DbConn().status() != 0)
        return StatusNoDatabase;
    std::vector<KioskStatus> kiosks;
    try {
        kiosks = readKioskStatus(DbConn(), staleAfterSeconds);
    } catch (const DbError& e) {
        err << "kalinda: the kiosks' heartbeats could not be read: " << e.message() << Qt::endl;
        return StatusNoDatabase;
    }
    if (kiosks.empty())
        out << "No kiosk has sent a heartbeat yet." << Qt::endl;
    bool anyRed = false;
    for (const KioskStatus& k : kiosks) {
        out << statusLine(k) << Qt::endl;
        anyRed = anyRed || k.colour == StatusColour::Red;
    }
    return anyRed ? StatusRed : StatusNoRed;
}

} // namespace kalinda
