#pragma once

#include "app/settings.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <functional>

class QLabel;
class QWidget;

namespace kalinda {

// How often a start without the connection form tries again: a school's server may boot
// after its kiosks.
struct RetryPlan {
    std::chrono::milliseconds interval{std::chrono::seconds(5)};
};

// Connects without asking anyone. While no server answers, a notice says so and every interval
// the next profile is tried: the kiosk's own, then those it may fail over to, round and round,
// until one answers. It never falls back to the connection form: nobody at a kiosk may pick a
// server, and the form would stand in front of a student. Deletes itself when done; the
// operator stops a waiting kiosk from outside (SIGTERM, `systemctl stop kalinda`).
class UnattendedStart final : public QObject {
    Q_OBJECT
public:
    // `showMain` shows the main screen once connected; `failover` are the profiles to try
    // after `profileCode` (failoverProfiles()).
    UnattendedStart(QString profileCode, std::function<void()> showMain,
                    const QStringList& failover = {},
                    const EncodedSettings& stored = builtInSettings(), RetryPlan plan = {});
    ~UnattendedStart() override;

    void start();

    // The "connecting" notice; null before the first failed attempt and after the end.
    QLabel* notice() const;
    int attempts() const { return attempts_; }

private:
    void attempt();
    void showNotice(const QString& code, const QString& warning);
    void closeNotice();

    QStringList codes_; // in the order tried
    std::function<void()> showMain_;
    EncodedSettings stored_;
    RetryPlan plan_;
    QTimer retry_;
    QPointer<QLabel> notice_;
    int attempts_ = 0;
};

// The failover profiles last read from the server (set_app "FailoverProfiles"), kept in the
// state folder for the next start, when the server and its setting may not answer yet.
void rememberFailoverProfiles(const QStringList& profiles);
// Those profiles; none when nothing was kept or the file is not a regular file of our own.
QStringList rememberedFailoverProfiles();

} // namespace kalinda
