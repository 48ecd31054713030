#include "unattended_start.h"

#include "app/dialogs.h"
#include "app/profile.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <algorithm>
#include <optional>

namespace kalinda {
namespace {

// Holds back the connection warnings of an attempt: nobody is there to close them, and a
// waiting message box would stop the retries. The last one is kept to be shown at the end.
class HeldMessages final : public Dialogs {
public:
    HeldMessages()
        : previous_(&dialogs()) {
        setDialogs(this);
    }
    ~HeldMessages() override { setDialogs(previous_); }
    HeldMessages(const HeldMessages&) = delete;
    HeldMessages& operator=(const HeldMessages&) = delete;

    void message(QWidget*, MessageIcon, const QString& text, const QString&) override {
        last = text;
    }
    std::optional<QString> input(QWidget* parent, const QString& prompt, const QString& title,
                                 const QString& defaultText, InputEcho echo) override {
        return previous_->input(parent, prompt, title, defaultText, echo);
    }
    int exec(QDialog& dialog) override { return previous_->exec(dialog); }

    QString last;

private:
    Dialogs* previous_;
};

QString profileName(const QString& code) {
    for (const auto& profile : connectionProfiles()) {
        if (profile.code == code)
            return profile.listText;
    }
    return code;
}

} // namespace

UnattendedStart::UnattendedStart(QString profileCode, std::function<void()> showMain,
                                 std::function<QWidget*()> showConnectionForm,
                                 const EncodedSettings& stored, RetryPlan plan)
    : code_(std::move(profileCode))
    , showMain_(std::move(showMain))
    , showConnectionForm_(std::move(showConnectionForm))
    , stored_(stored)
    , plan_(plan) {
    retry_.setSingleShot(true);
    retry_.setInterval(plan_.interval);
    connect(&retry_, &QTimer::timeout, this, [this] { attempt(); });
}

UnattendedStart::~UnattendedStart() {
    closeNotice();
}

QLabel* UnattendedStart::notice() const {
    return notice_.data();
}

void UnattendedStart::start() {
    waiting_.start();
    attempt();
}

void UnattendedStart::attempt() {
    ++attempts_;
    QString warning;
    bool connected = false;
    {
        HeldMessages held;
        connected = ConnectProfile(code_, stored_);
        warning = held.last;
    }
    if (connected) {
        closeNotice();
        if (showMain_)
            showMain_();
        deleteLater();
        return;
    }
    if (waiting_.elapsed() + plan_.interval.count() <= plan_.patience.count()) {
        showNotice(warning);
        retry_.start();
        return;
    }
    closeNotice();
    QWidget* form = showConnectionForm_ ? showConnectionForm_() : nullptr;
    if (!warning.isEmpty())
        showMessage(MessageIcon::Warning, warning, form);
    deleteLater();
}

void UnattendedStart::showNotice(const QString& warning) {
    if (!notice_) {
        notice_ = new QLabel;
        notice_->setObjectName(QStringLiteral("lblMenghubungkan"));
        notice_->setWindowTitle(kAppTitle);
        notice_->setAlignment(Qt::AlignCenter);
        notice_->setWordWrap(true);
        notice_->setMargin(40);
        QFont font = notice_->font();
        font.setPointSize(font.pointSize() + 6);
        notice_->setFont(font);
        notice_->setGeometry(QGuiApplication::primaryScreen()->geometry());
        notice_->showFullScreen();
    }
    const qint64 left = (plan_.patience.count() - waiting_.elapsed()) / 1000;
    notice_->setText(QStringLiteral("Menghubungkan ke server (%1)…\n\n%2\n\nPercobaan ke-%3; "
                                    "dicoba lagi setiap %4 detik, %5 detik lagi.")
                         .arg(profileName(code_), warning)
                         .arg(attempts_)
                         .arg(std::max<qint64>(1, plan_.interval.count() / 1000))
                         .arg(std::max<qint64>(0, left)));
}

void UnattendedStart::closeNotice() {
    if (notice_) {
        notice_->close();
        delete notice_.data();
    }
}

} // namespace kalinda
