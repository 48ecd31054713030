#include "unattended_start.h"

#include "app/dialogs.h"
#include "app/failover.h"
#include "app/profile.h"
#include "postings/posting_intent.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QSaveFile>
#include <QScreen>
#include <algorithm>
#include <optional>
#include <unistd.h>

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
                                 const QStringList& failover, const EncodedSettings& stored,
                                 RetryPlan plan)
    : codes_{std::move(profileCode)}
    , showMain_(std::move(showMain))
    , stored_(stored)
    , plan_(plan) {
    for (const QString& code : failover) {
        if (!codes_.contains(code))
            codes_ << code;
    }
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
    attempt();
}

void UnattendedStart::attempt() {
    const QString code = codes_.at(attempts_++ % codes_.size());
    QString warning;
    bool connected = false;
    {
        HeldMessages held;
        connected = ConnectProfile(code, stored_);
        warning = held.last;
    }
    if (!connected) {
        showNotice(code, warning);
        retry_.start();
        return;
    }
    closeNotice();
    if (showMain_)
        showMain_();
    deleteLater();
}

void UnattendedStart::showNotice(const QString& code, const QString& warning) {
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
    notice_->setText(QStringLiteral("Menghubungkan ke server (%1)…\n\n%2\n\nPercobaan ke-%3; "
                                    "dicoba lagi setiap %4 detik.")
                         .arg(profileName(code), warning)
                         .arg(attempts_)
                         .arg(std::max<qint64>(1, plan_.interval.count() / 1000)));
}

void UnattendedStart::closeNotice() {
    if (notice_) {
        notice_->close();
        delete notice_.data();
    }
}

namespace {

QString failoverFile() {
    const QString folder = stateFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/failover-profiles");
}

} // namespace

void rememberFailoverProfiles(const QStringList& profiles) {
    const QString path = failoverFile();
    if (path.isEmpty() || !QDir().mkpath(stateFolder()))
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        file.write(profiles.join(QLatin1Char(',')).toLatin1()) < 0 || !file.commit())
        qWarning("kalinda: cannot keep the failover profiles in %s", qPrintable(path));
}

QStringList rememberedFailoverProfiles() {
    const QFileInfo info(failoverFile());
    QFile file(info.filePath());
    if (info.filePath().isEmpty() || info.isSymLink() || !info.isFile() ||
        info.ownerId() != getuid() || !file.open(QIODevice::ReadOnly))
        return {};
    return failoverProfiles(QString::fromLatin1(file.read(64)));
}

} // namespace kalinda
