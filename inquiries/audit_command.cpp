#include "audit_command.h"

#include "app/connection.h"
#include "app/profile.h"
#include "audit.h"

#include <QCommandLineParser>
#include <QTextStream>

namespace kalinda {
namespace {

QDate readDay(const QString& text, QDate today) {
    if (text == QLatin1String("today"))
        return today;
    if (text == QLatin1String("yesterday"))
        return today.addDays(-1);
    return QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
}

} // namespace

QString readAuditJob(const QCommandLineParser& parser, AuditJob& job, QDate today) {
    for (const char* name : {"user", "pdf", "printer", "operator"}) {
        if (parser.isSet(QString::fromLatin1(name)))
            return QStringLiteral("--%1 is an option of the report, not of the audit.")
                .arg(QString::fromLatin1(name));
    }
    const QString from = parser.isSet(QStringLiteral("from")) ? parser.value(QStringLiteral("from"))
                                                              : QStringLiteral("yesterday");
    const QString to = parser.isSet(QStringLiteral("to")) ? parser.value(QStringLiteral("to"))
                                                          : QStringLiteral("today");
    job.first = readDay(from, today);
    job.last = readDay(to, today);
    if (!job.first.isValid())
        return QStringLiteral("--from: \"%1\" is not a date YYYY-MM-DD.").arg(from);
    if (!job.last.isValid())
        return QStringLiteral("--to: \"%1\" is not a date YYYY-MM-DD.").arg(to);
    if (job.first > job.last)
        return QStringLiteral("The period is reversed: --from %1 comes after --to %2.")
            .arg(from, to);
    job.csv = parser.value(QStringLiteral("csv"));
    return takeProfileOption(parser, job.profile);
}

int runAuditJob(const AuditJob& job, QTextStream& out, QTextStream& err,
                const OfficeAccount& account, const EncodedSettings& stored) {
    ApplyProfile(job.profile, stored);
    QString error;
    const auto office = connectOffice(settingsParams(stored), account, error);
    if (!office) {
        err << "kalinda audit: " << error << Qt::endl;
        return AuditNotRun;
    }
    KioskAudit audit(job.first, job.last);
    try {
        audit.run(*office);
    } catch (const DbError& e) {
        err << "kalinda audit: the audit could not run: " << e.message() << Qt::endl;
        return AuditNotRun;
    }
    for (const AuditFinding& finding : audit.findings())
        out << KioskAudit::line(finding) << Qt::endl;
    out << audit.summary() << Qt::endl;
    if (!job.csv.isEmpty()) {
        if (error = audit.saveCsv(job.csv); !error.isEmpty()) {
            err << "kalinda audit: " << error << Qt::endl;
            return AuditNotRun;
        }
    }
    return audit.findings().empty() ? AuditNothingFound : AuditFound;
}

} // namespace kalinda
