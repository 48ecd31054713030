#pragma once

#include "db.h"
#include "settings.h"

#include <QObject>
#include <QString>
#include <QStringList>

namespace kalinda {

// Which profile the kiosk's connection runs on, and what the kiosk does once that server is
// gone: say so, naming the profile, or, with profiles to move to (set_app
// "FailoverProfiles"), move to the next one that answers. Holds no window; the main screen
// shows what it says.
class ServerSwitch final : public QObject {
    Q_OBJECT
public:
    ServerSwitch(Connection& db, QString profile,
                 const EncodedSettings& stored = builtInSettings());
    ~ServerSwitch() override;

    QString profile() const { return profile_; }
    bool serves(const Connection& db) const { return &db == &db_; }
    // The profile's list text and server, e.g. "2 : Primary (127.0.0.2:3306)".
    QString caption() const { return captionOf(profile_); }
    QString captionOf(const QString& profile) const;

    // The profiles to move to, in order (failoverProfiles()); none: the kiosk stays.
    void setFailoverProfiles(const QStringList& profiles);
    QStringList failoverProfiles() const { return failover_; }
    bool movesByItself() const { return !failover_.isEmpty(); }

    enum class Outcome {
        Reconnected, // the server answers again
        Gone,        // it does not, and the kiosk stays on it
        Moved,       // the kiosk is on another profile now
    };
    struct Verdict {
        Outcome outcome;
        QString from; // caption of the profile that failed
        QString to;   // caption of the profile now in use (Moved)
    };

    // After a statement failed for a lost connection: tries the server once more, and when it
    // does not answer moves on if it may. Never inside a transaction: a connection lost there
    // is reported as gone, so nothing of the transaction is ever sent anywhere else.
    Verdict connectionLost();
    // Moves to the next profile that answers, if the kiosk may move; no window, no message.
    bool moveAway();
    // The one text the kiosk shows for a verdict.
    static QString explain(const Verdict& verdict);

signals:
    // The kiosk moved, or the failover setting was read: what the main screen shows.
    void changed();

private:
    Connection& db_;
    QString profile_;
    EncodedSettings stored_;
    QStringList failover_;
};

// The switch of the kiosk's connection, if one is installed (not owned). Database failures are
// reported through it (showDatabaseError).
ServerSwitch* serverSwitch();
void installServerSwitch(ServerSwitch* serverSwitch);

} // namespace kalinda
