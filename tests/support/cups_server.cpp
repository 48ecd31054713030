#include "cups_server.h"

#include "child_process.h"
#include "mariadb_server.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <cstdlib>
#include <cups/cups.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace kalinda::test {
namespace {

void writeFile(const QString& path, const QString& text, QFile::Permissions permissions) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write " + path.toStdString());
    f.write(text.toUtf8());
    f.close();
    f.setPermissions(permissions);
}

constexpr QFile::Permissions kReadable =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
constexpr QFile::Permissions kExecutable =
    kReadable | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;

// Filters run as user lp, which has to reach them and the spool through every parent folder.
void letOthersThrough(const QByteArray& dir) {
    struct stat st {};
    if (::stat(dir.constData(), &st) == 0 && (st.st_mode & S_IXOTH) == 0)
        ::chmod(dir.constData(), (st.st_mode & 07777) | S_IXGRP | S_IXOTH);
}

bool acceptsConnections(const QString& socketPath) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray path = socketPath.toLocal8Bit();
    ::strncpy(addr.sun_path, path.constData(), sizeof addr.sun_path - 1);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

struct JobsDeleter {
    int count;
    void operator()(cups_job_t* jobs) const { cupsFreeJobs(count, jobs); }
};

std::vector<CupsServer::Job> jobsOf(const QString& queue, int which) {
    cups_job_t* raw = nullptr;
    const QByteArray name = queue.toUtf8();
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &raw, name.constData(), 0, which);
    const std::unique_ptr<cups_job_t, JobsDeleter> jobs(raw, JobsDeleter{count});
    std::vector<CupsServer::Job> out;
    for (int i = 0; i < count; ++i) {
        out.push_back({jobs.get()[i].id, QString::fromUtf8(jobs.get()[i].title),
                       QString::fromUtf8(jobs.get()[i].format),
                       jobs.get()[i].state == IPP_JSTATE_COMPLETED});
    }
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.id < b.id; });
    return out;
}

void stopAtExit() {
    CupsServer::instance().stop();
}

} // namespace

CupsServer& CupsServer::instance() {
    static CupsServer* server = [] {
        auto* s = new CupsServer();
        std::atexit(stopAtExit);
        return s;
    }();
    return *server;
}

CupsServer::CupsServer() {
    const QByteArray root = testTempRoot();
    letOthersThrough(root);
    QByteArray tmpl = root + "/cups-XXXXXX";
    if (!::mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed");
    ::chmod(tmpl.constData(), 0755);
    dir_ = QString::fromLocal8Bit(tmpl);
    if (socketPath().toLocal8Bit().size() >= static_cast<qsizetype>(sizeof(sockaddr_un::sun_path)))
        throw std::runtime_error("socket path too long: " + socketPath().toStdString());
    writeConfiguration();

    // Before libcups reads it, and for the lp tools run from here.
    qputenv("CUPS_SERVER", socketPath().toLocal8Bit());
    qunsetenv("LPDEST");
    qunsetenv("PRINTER");
    start();
    reset();
}

CupsServer::~CupsServer() {
    stop();
}

void CupsServer::writeConfiguration() {
    const QString d = dir_;
    // cupsd exits without a word when one of its folders is missing.
    for (const char* sub : {"spool", "tmp", "cache", "state", "ssl"})
        QDir().mkpath(d + QLatin1Char('/') + QLatin1String(sub));
    writeFile(d + QStringLiteral("/cups-files.conf"),
              QStringLiteral("ServerRoot %1\n"
                             "RequestRoot %1/spool\n"
                             "TempDir %1/tmp\n"
                             "CacheDir %1/cache\n"
                             "StateDir %1/state\n"
                             "ServerKeychain %1/ssl\n"
                             "AccessLog %1/access_log\n"
                             "ErrorLog %1/error_log\n"
                             "PageLog %1/page_log\n"
                             "Printcap %1/printcap\n"
                             "FileDevice Yes\n"
                             "User lp\n"
                             "Group lp\n"
                             "SystemGroup root\n")
                  .arg(d),
              kReadable);
    writeFile(d + QStringLiteral("/cupsd.conf"),
              QStringLiteral("LogLevel info\n"
                             "Listen %1\n"
                             "Browsing No\n"
                             "WebInterface No\n"
                             "DefaultAuthType None\n"
                             "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                             "<Policy default>\n  <Limit All>\n    Order allow,deny\n"
                             "    Allow all\n  </Limit>\n</Policy>\n")
                  .arg(socketPath()),
              kReadable);
    // CUPS only writes to a file device through a filter: this one copies the job unchanged.
    writeFile(d + QStringLiteral("/passthru"),
              QStringLiteral("#!/bin/sh\n"
                             "if [ -n \"$6\" ]; then exec cat \"$6\"; fi\n"
                             "exec cat\n"),
              kExecutable);
    writeFile(d + QStringLiteral("/raw.ppd"),
              QStringLiteral("*PPD-Adobe: \"4.3\"\n"
                             "*FormatVersion: \"4.3\"\n"
                             "*FileVersion: \"1.0\"\n"
                             "*LanguageVersion: English\n"
                             "*LanguageEncoding: ISOLatin1\n"
                             "*PCFileName: \"KALINDA.PPD\"\n"
                             "*Manufacturer: \"Kalinda\"\n"
                             "*Product: \"(Receipt)\"\n"
                             "*ModelName: \"Kalinda test receipt\"\n"
                             "*ShortNickName: \"Kalinda test receipt\"\n"
                             "*NickName: \"Kalinda test receipt\"\n"
                             "*cupsFilter: \"application/vnd.cups-raw 0 %1/passthru\"\n")
                  .arg(d),
              kReadable);
}

void CupsServer::start() {
    if (pid_ > 0)
        return;
    const std::string conf = (dir_ + QStringLiteral("/cupsd.conf")).toStdString();
    const std::string files = (dir_ + QStringLiteral("/cups-files.conf")).toStdString();
    const std::string log = (dir_ + QStringLiteral("/cupsd.out")).toStdString();
    // The scheduler goes down with the test program, whatever way that ends.
    const pid_t pid = startChild({"cupsd", "-f", "-c", conf, "-s", files}, log);
    pid_ = pid;
    writeFile(dir_ + QStringLiteral("/cupsd.pid"), QString::number(pid_) + QLatin1Char('\n'),
              kReadable);

    const QDeadlineTimer deadline(10000);
    while (!acceptsConnections(socketPath())) {
        if (childExited(pid_)) {
            pid_ = 0;
            throw std::runtime_error("cupsd exited, see " + dir_.toStdString());
        }
        if (deadline.hasExpired()) {
            stop();
            throw std::runtime_error("cupsd did not listen, see " + dir_.toStdString());
        }
        QThread::msleep(10);
    }
}

void CupsServer::stop() {
    if (pid_ <= 0)
        return;
    stopChild(pid_);
    QFile::remove(dir_ + QStringLiteral("/cupsd.pid"));
}

void CupsServer::runAdmin(const QString& command) const {
    const QString line = QStringLiteral("%1 >>%2/admin.log 2>&1").arg(command, dir_);
    if (std::system(line.toLocal8Bit().constData()) != 0)
        throw std::runtime_error("failed: " + command.toStdString() + ", see " +
                                 dir_.toStdString() + "/admin.log");
}

void CupsServer::reset() {
    start();
    runAdmin(QStringLiteral("lpadmin -p %1 -E -v file://%2 -P %3/raw.ppd")
                 .arg(queueName(), outputPath(), dir_));
    runAdmin(QStringLiteral("lpadmin -d %1").arg(queueName()));
    cupsCancelJob2(CUPS_HTTP_DEFAULT, queueName().toUtf8().constData(), CUPS_JOBID_ALL, 1);
    QFile::remove(outputPath());
    setReasons({});
}

void CupsServer::setReasons(const QStringList& reasons) {
    // What a backend would report; CUPS-Add-Modify-Printer takes it as the administrator's word.
    ipp_t* request = ippNewRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/printers/%s", queueName().toUtf8().constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    std::vector<QByteArray> names;
    for (const QString& r : reasons.isEmpty() ? QStringList{QStringLiteral("none")} : reasons)
        names.push_back(r.toUtf8());
    std::vector<const char*> values;
    for (const QByteArray& n : names)
        values.push_back(n.constData());
    ippAddStrings(request, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "printer-state-reasons",
                  static_cast<int>(values.size()), nullptr, values.data());
    ippDelete(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/admin/"));
    if (cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE)
        throw std::runtime_error(std::string("printer-state-reasons not set: ") +
                                 cupsLastErrorString());
}

void CupsServer::removeDefault() {
    runAdmin(QStringLiteral("lpadmin -x %1").arg(queueName()));
}

void CupsServer::rejectJobs() {
    runAdmin(QStringLiteral("cupsreject %1").arg(queueName()));
}

void CupsServer::stopQueue() {
    runAdmin(QStringLiteral("cupsdisable %1").arg(queueName()));
}

void CupsServer::startQueue() {
    runAdmin(QStringLiteral("cupsenable %1").arg(queueName()));
}

QByteArray CupsServer::output() const {
    QFile f(outputPath());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

std::vector<CupsServer::Job> CupsServer::jobs() const {
    return jobsOf(queueName(), CUPS_WHICHJOBS_ALL);
}

std::vector<CupsServer::Job> CupsServer::waitForFinishedJobs(std::size_t count,
                                                             int timeoutMs) const {
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const auto finished = jobsOf(queueName(), CUPS_WHICHJOBS_COMPLETED);
        if (finished.size() >= count && jobsOf(queueName(), CUPS_WHICHJOBS_ACTIVE).empty())
            return finished;
        if (deadline.hasExpired())
            throw std::runtime_error("no finished print job in time, see " + dir_.toStdString());
        QThread::msleep(5);
    }
}

} // namespace kalinda::test
