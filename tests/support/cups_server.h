#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <sys/types.h>
#include <vector>

namespace kalinda::test {

// A private CUPS scheduler for one test program: own configuration and spool under the test
// folder, listening only on a unix socket, with one raw queue whose output is a file and
// which is the default destination. CUPS_SERVER points libcups and the lp tools at it.
// Started on first use; it stops when the program ends, also when the program dies.
class CupsServer {
public:
    struct Job {
        int id;
        QString title;
        QString format;
        bool completed; // printed, not cancelled or aborted
    };

    static CupsServer& instance();

    ~CupsServer();

    QString socketPath() const { return dir_ + QStringLiteral("/cups.sock"); }
    QString queueName() const { return QStringLiteral("struk"); }
    // The file the queue writes to; each job replaces its content.
    QString outputPath() const { return dir_ + QStringLiteral("/receipt.bin"); }

    // The queue set up (again) as the accepting default, its jobs purged, its output emptied.
    void reset();
    // Deletes the queue, so there is no default destination.
    void removeDefault();
    // Keeps the queue as default but refuses new jobs.
    void rejectJobs();
    // Stops the queue (cupsdisable): it still takes jobs and holds them; startQueue resumes.
    void stopQueue();
    void startQueue();
    // Sets the queue's printer-state-reasons as a printer reports them ("media-empty-error");
    // none: cleared. reset() clears them.
    void setReasons(const QStringList& reasons);

    // The bytes the queue has written since the last reset.
    QByteArray output() const;
    // Every job since the last reset, pending or ended, oldest first.
    std::vector<Job> jobs() const;
    // Polls until `count` jobs have ended and none is pending, and returns the ended ones;
    // throws after the deadline.
    std::vector<Job> waitForFinishedJobs(std::size_t count, int timeoutMs = 10000) const;

    void start();
    void stop();

private:
    CupsServer();
    void writeConfiguration();
    void runAdmin(const QString& command) const;

    QString dir_;
    pid_t pid_ = 0;
};

} // namespace kalinda::test
