#pragma once

#include "db.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

class QTimer;

namespace kalinda {

// What a kiosk says of itself to the office: one row per machine in data_kiosk_heartbeat.
struct Heartbeat {
    QString machine; // the key: the MAC address, else the host name
    QString hostName;
    QString ipAddress;
    QString version;
    QString profile;       // the profile the kiosk was started with
    QString profileServer; // that profile's server, "host:port"
    QString server;        // the server in use, another one after a failover
    // Seconds since the last posting ended, by the kiosk's steady clock (none yet: the row keeps
    // what an earlier run wrote).
    std::optional<qint64> secondsSincePosting;
    QString printer; // printerConditionName(): "ready", "paper out", ...
    int inDoubt = 0; // postings in doubt the kiosk holds
    bool visitOpen = false;
    // The last beat of a kiosk closed on purpose (KELUAR, SIGTERM): the office shows it closed,
    // not broken.
    bool closing = false;
};

// The key of a machine: its MAC address when it has one, else its host name.
QString heartbeatMachine(const QString& macAddress, const QString& hostName);

// Writes the kiosk's row: one statement (CatatHeartbeat), no transaction. The times are the
// server's. Throws DbError.
void writeHeartbeat(Connection& db, const Heartbeat& beat);

// Writes the heartbeat at start, every `interval` and after every posting, on a thread and a
// connection of its own with short timeouts: a hung or dead server never holds the screen, a
// failed write is dropped silently and the next one tries again. Beats asked for while a write
// runs are folded into one, written with the newest state. When the program quits, or the
// writer ends, a last beat says the kiosk is closing.
class HeartbeatWriter final : public QObject {
    Q_OBJECT
public:
    struct Sources {
        // On the screen's thread: what the kiosk knows (visit, postings in doubt, server).
        std::function<Heartbeat()> snapshot;
        // Where the kiosk's own connection goes now; the heartbeat follows it after a move.
        std::function<ConnectParams()> target;
        // On the writer's thread: the printer's condition, which may wait for CUPS.
        std::function<QString()> printer;
    };

    explicit HeartbeatWriter(Sources sources,
                             std::chrono::milliseconds interval = std::chrono::seconds(30),
                             QObject* parent = nullptr);
    // Closes, then waits for a write under way, at most its short timeouts.
    ~HeartbeatWriter() override;
    HeartbeatWriter(const HeartbeatWriter&) = delete;
    HeartbeatWriter& operator=(const HeartbeatWriter&) = delete;

    // Writes soon, with the state of now.
    void beat();
    // A posting ended: its time goes into the next beat, which is asked for now.
    void postingEnded();
    // The kiosk closes on purpose: one last beat that says so, waited for at most
    // kClosingWaitMs, so that a dead server never delays the exit; later beats are dropped.
    void close();

    int written() const { return written_; }
    int failed() const { return failed_; }

    // How long the heartbeat's connection waits for the server (seconds).
    static constexpr int kTimeoutSeconds = 3;
    static constexpr int kClosingWaitMs = 2000;

private:
    void run();

    Sources sources_;
    QTimer* timer_;
    std::optional<std::chrono::steady_clock::time_point> lastPosting_;
    // The newest beat asked for, on the screen's thread: the closing beat repeats it, since the
    // screen it was taken from may be going away.
    std::optional<std::pair<Heartbeat, ConnectParams>> last_;
    bool closed_ = false;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<std::pair<Heartbeat, ConnectParams>> next_; // guarded by mutex_
    bool stopping_ = false;                                   // guarded by mutex_
    bool closingWritten_ = false;                             // guarded by mutex_
    std::condition_variable closingDone_;
    std::atomic<int> written_{0};
    std::atomic<int> failed_{0};
    std::thread thread_;
};

// The kiosk's writer, if one is installed (not owned); postings report their end to it.
void installHeartbeat(HeartbeatWriter* writer);
void heartbeatAfterPosting();
// A beat with the state of now (a posting in doubt settled).
void heartbeatSoon();

} // namespace kalinda
