#include "heartbeat.h"

#include <QCoreApplication>
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
    // 2: closing on purpose; a server not yet upgraded takes it for a visit open.
    s << ", '" << esc(beat.printer) << "', " << beat.inDoubt << ", "
      << (beat.closing     ? 2
          : beat.visitOpen ? 1
                           : 0)
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
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
                &HeartbeatWriter::close);
    beat();
}

HeartbeatWriter::~HeartbeatWriter() {
    if (installed == this)
        installed = nullptr;
    close();
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void HeartbeatWriter::beat() {
    if (closed_)
        return;
    Heartbeat beat = sources_.snapshot();
    if (lastPosting_) {
        beat.secondsSincePosting = std::chrono::duration_cast<std::chrono::seconds>(
                                       std::chrono::steady_clock::now() - *lastPosting_)
                                       .count();
    }
    ConnectParams target = sources_.target();
    last_.emplace(beat, target);
    {
        const std::lock_guard lock(mutex_);
        next_.emplace(std::move(beat), std::move(target));
    }
    wake_.notify_all();
}

void HeartbeatWriter::close() {
    if (closed_)
        return;
    closed_ = true;
    timer_->stop();
    if (!last_)
        return;
    auto [beat, target] = *last_;
    beat.closing = true;
    beat.visitOpen = false;
    std::unique_lock lock(mutex_);
    next_.emplace(std::move(beat), std::move(target));
    wake_.notify_all();
    closingDone_.wait_for(lock, std::chrono::milliseconds(kClosingWaitMs),
                          [this] { return closingWritten_; });
}

void HeartbeatWriter::postingEnded() {
    lastPosting_ = std::chrono::steady_clock::now();
    beat();
}

void HeartbeatWriter::run() {
    Connection db;
    std::optional<ConnectParams> connectedTo;
    QString printer;
    for (;;) {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return stopping_ || next_; });
        if (stopping_)
            return;
        auto [beat, target] = std::move(*next_);
        next_.reset();
        lock.unlock();

        // Closing, CUPS is not asked again: it may make the exit wait.
        if (!beat.closing)
            printer = sources_.printer ? sources_.printer() : QString();
        beat.printer = printer;
        // The closing beat goes over a fresh connection with the shortest timeouts (1 s each
        // for the connect, the write and the answer), not one that may hang on the longer ones.
        const int timeout = beat.closing ? 1 : kTimeoutSeconds;
        if (beat.closing)
            connectedTo.reset();
        target.connectTimeoutSeconds = timeout;
        target.readTimeoutSeconds = timeout;
        target.writeTimeoutSeconds = timeout;
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
        if (beat.closing) {
            const std::lock_guard done(mutex_);
            closingWritten_ = true;
            closingDone_.notify_all();
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
