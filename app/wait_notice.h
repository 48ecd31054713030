#pragma once

#include <QPointer>
#include <QString>

class QLabel;
class QWidget;

namespace kalinda {

inline const QString kMohonTunggu = QStringLiteral("Mohon tunggu…");

// "Mohon tunggu…" and the wait cursor while a posting or a print keeps the kiosk waiting, for
// as long as the object lives. The kiosk has one GUI thread, which cannot paint during the
// blocking call, so the notice is painted before the call starts. It lies over the form the
// student sees and never takes the focus or the activation from it.
class WaitNotice {
public:
    explicit WaitNotice(QWidget* parent);
    ~WaitNotice();
    WaitNotice(const WaitNotice&) = delete;
    WaitNotice& operator=(const WaitNotice&) = delete;

    // Whether a notice is on the screen now.
    static bool shown();

private:
    QPointer<QLabel> label_;
    QPointer<QWidget> focus_;
};

} // namespace kalinda
