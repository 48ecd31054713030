#include "heartbeat.h"

#include <QRegularExpression>
#include <QTimer>

namespace kalinda {
namespace {

HeartbeatWriter* installed = nullptr;

bool sameTarget(const ConnectParams& a, const ConnectParams& b) {
    return a.host == b.host && a.port == b.port && a.unixSocket == b.unixSocket &&
           a.user == b.user && a.password == b.password && a.database == b.database;
}

} // namespace

QString heartbeatMachine(const QString& macAddress, const QString& hostName) {
    // The login log writes "(SendARP call failed)" where no address was found.
    static const QRegularExpression mac(QStringLiteral("^[0-9A-Fa-f]{2}([-:][0-9A-Fa-f]{2}){5}$"));
    return mac.match(macAddress).hasMatch() ? macAddress.toUpper() : hostName;
}

void writeHeartbeat(Connection& db, const Heartbeat& beat) {
    Sql s("CALL CatatHeartbeat('");
    s << esc(beat.machine) << "', '" << esc(beat.hostName) << "', '" << esc(beat.ipAddress)
      << "', '" << esc(beat.version) << "', '" << esc(beat.profile) << "', '"
      << esc(beat.profileServer) << "', '" << esc(beat.server) << "', ";
    if (beat.secondsSincePosting)
        s << *beat.secondsSincePosting;
    else
        s << "NULL"; // none yet this run: the row keeps what an earlier run wrote
    s << ", '" << esc(beat.printer) << "', " << beat.inDoubt << ", " << (beat.visitOpen ? 1 : 0)
      << ")";
    db.execute(s);
}

HeartbeatWriter::HeartbeatWriter(Sources sources, std::chrono::milliseconds interval,
                                 QObject* parent)
    : QObject(parent)
    , sources_(std::move(sources))
    , timer_(new QTimer(this)) {
    thread_ = std::thread([this] { run(); });
    connect(timer_, &QTimer::timeout, this, &HeartbeatWriter::beat);
    timer_->start(interval);
    beat();
}

HeartbeatWriter::~HeartbeatWriter() {
    if (installed == this)
        installed = nullptr;
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void HeartbeatWriter::beat() {
    Heartbeat beat = sources_.snapshot();
    if (lastPosting_) {
        beat.secondsSincePosting = std::chrono::duration_cast<std::chrono::seconds>(
                                       std::chrono::steady_clock::now() - *lastPosting_)
                                       .count();
    }
    ConnectParams target = sources_.target();
    {
        const std::lock_guard lock(mutex_);
        next_.emplace(std::move(beat), std::move(target));
    }
    wake_.notify_all();
}

void HeartbeatWriter::postingEnded() {
    lastPosting_ = std::chrono::steady_clock::now();
    beat();
}

void HeartbeatWriter::run() {
    Connection db;
    std::optional<ConnectParams> connectedTo;
    for (;;) {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return stopping_ || next_; });
        if (stopping_)
            return;
        auto [beat, target] = std::move(*next_);
        next_.reset();
        lock.unlock();

        beat.printer = sources_.printer ? sources_.printer() : QString();
        target.connectTimeoutSeconds = kTimeoutSeconds;
        target.readTimeoutSeconds = kTimeoutSeconds;
        target.writeTimeoutSeconds = kTimeoutSeconds;
        // A heartbeat is no posting: it goes wherever the kiosk itself went.
        target.soundServerOnly = false;
        try {
            if (!connectedTo || !sameTarget(*connectedTo, target) || db.status() != 0) {
                connectedTo.reset();
                db.connect(target);
                if (db.status() != 0)
                    throw DbError(DbError::Kind::Connection, 0, db.lastError());
                connectedTo = target;
            }
            writeHeartbeat(db, beat);
            ++written_;
        } catch (const DbError&) {
            // Silent: the next beat tries again, over a new connection.
            connectedTo.reset();
            ++failed_;
        }
    }
}

void installHeartbeat(HeartbeatWriter* writer) {
    installed = writer;
}

void heartbeatAfterPosting() {
    if (installed)
        installed->postingEnded();
}

void heartbeatSoon() {
    if (installed)
        installed->beat();
}

} // namespace kalinda
