#pragma once

#include "app/settings.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <chrono>
#include <functional>

class QLabel;
class QWidget;

namespace kalinda {

// How long a start without the connection form waits for a server that is not up yet: a
// school's server may boot after its kiosks.
struct RetryPlan {
    std::chrono::milliseconds interval{std::chrono::seconds(5)};
    std::chrono::milliseconds patience{std::chrono::minutes(2)};
};

// Connects to one profile without asking anyone. While the main connection fails, a notice
// says so and the connection is tried again every interval; once patience runs out the
// connection form is opened with the connection warning. Deletes itself when done.
class UnattendedStart final : public QObject {
    Q_OBJECT
public:
    // `showMain` shows the main screen once connected; `showConnectionForm` opens the form
    // and returns it, to carry the warning.
    UnattendedStart(QString profileCode, std::function<void()> showMain,
                    std::function<QWidget*()> showConnectionForm,
                    const EncodedSettings& stored = builtInSettings(), RetryPlan plan = {});
    ~UnattendedStart() override;

    void start();

    // The "connecting" notice; null before the first failed attempt and after the end.
    QLabel* notice() const;
    int attempts() const { return attempts_; }

private:
    void attempt();
    void showNotice(const QString& warning);
    void closeNotice();

    QString code_;
    std::function<void()> showMain_;
    std::function<QWidget*()> showConnectionForm_;
    EncodedSettings stored_;
    RetryPlan plan_;
    QElapsedTimer waiting_;
    QTimer retry_;
    QPointer<QLabel> notice_;
    int attempts_ = 0;
};

} // namespace kalinda
