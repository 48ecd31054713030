#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>

class QLabel;
class QWidget;

namespace kalinda {

// Ends a visit left alone: after the idle time without key, card or pointer input a warning
// counts down; any input keeps the visit, otherwise the forms open on top of the main screen
// are closed without writing and `endVisit` runs. While a BusyHold lives the clock waits.
class IdleGuard final : public QObject {
    Q_OBJECT
public:
    IdleGuard(QWidget* screen, std::function<void()> endVisit);
    ~IdleGuard() override;

    // 0 switches the guard off.
    void setTimeout(int seconds) { setTimeoutMs(seconds * 1000); }
    void setTimeoutMs(int ms) { timeoutMs_ = ms; }
    void setCountdown(int seconds) { countdownSeconds_ = seconds; }

    // The visit begins or ends.
    void arm();
    void disarm();

    bool armed() const { return armed_; }
    // The warning while it counts down; nullptr otherwise.
    QLabel* warning() const;

    static QString warningText(int secondsLeft);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void idleReached();
    void tick();
    void showWarning();
    void hideWarning();
    void closeOpenForms();

    QWidget* screen_;
    std::function<void()> endVisit_;
    QTimer idle_;
    QTimer countdown_;
    QPointer<QLabel> warning_;
    int timeoutMs_ = 0;
    int countdownSeconds_ = 10;
    int left_ = 0;
    bool armed_ = false;
};

} // namespace kalinda
