#include "dialogs.h"

#include "db.h"
#include "server_switch.h"

#include <QDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProxyStyle>

namespace kalinda {
namespace {

class QtDialogs final : public Dialogs {
public:
    void message(QWidget* parent, MessageIcon icon, const QString& text,
                 const QString& title) override {
        QMessageBox box(toQt(icon), title, text, QMessageBox::Ok, parent);
        box.exec();
    }

    std::optional<QString> input(QWidget* parent, const QString& prompt, const QString& title,
                                 const QString& defaultText, InputEcho echo) override {
        QInputDialog box(parent);
        box.setWindowTitle(title);
        box.setLabelText(prompt);
        box.setTextValue(defaultText);
        box.setTextEchoMode(echo == InputEcho::Password ? QLineEdit::Password : QLineEdit::Normal);
        // The masked boxes ask for PINs: the digit pad, which can switch to letters.
        if (auto* edit = box.findChild<QLineEdit*>()) {
            edit->setProperty(kKeypadProperty, echo == InputEcho::Password
                                                   ? QStringLiteral("digits")
                                                   : QStringLiteral("text"));
            if (echo == InputEcho::Password)
                maskInput(*edit);
        }
        if (box.exec() != QDialog::Accepted)
            return std::nullopt;
        return box.textValue();
    }

    int exec(QDialog& dialog) override { return dialog.exec(); }

private:
    static QMessageBox::Icon toQt(MessageIcon icon) {
        switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Error:
            return QMessageBox::Critical;
        }
        return QMessageBox::NoIcon;
    }
};

QtDialogs& qtDialogs() {
    static QtDialogs instance;
    return instance;
}

Dialogs* current = nullptr;

// "*" whatever the platform's mask is. A style of the box's own: a style sheet rule would be
// read only when a style sheet reaches the box after it was built.
class AsteriskMask final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

} // namespace

void maskInput(QLineEdit& box) {
    box.setEchoMode(QLineEdit::Password);
    const QString name = QStringLiteral("asteriskMask");
    if (box.findChild<QStyle*>(name, Qt::FindDirectChildrenOnly))
        return;
    auto* mask = new AsteriskMask;
    mask->setObjectName(name);
    mask->setParent(&box);
    box.setStyle(mask);
}

Dialogs& dialogs() {
    return current ? *current : qtDialogs();
}

void setDialogs(Dialogs* replacement) {
    current = replacement;
}

void showMessage(MessageIcon icon, const QString& text, QWidget* parent) {
    dialogs().message(parent, icon, text, kAppTitle);
}

namespace {

QString adviceFor(const DbError& error) {
    // READ COMMITTED postings cannot be written to a binary log in the STATEMENT format.
    if (error.code() == 1665)
        return QStringLiteral("Format binary log server (binlog_format) harus MIXED atau ROW. "
                              "Hubungi petugas server.");
    switch (error.kind()) {
    case DbError::Kind::Connection:
        return QStringLiteral(
            "Koneksi ke server terputus. Periksa jaringan/server, lalu coba lagi.");
    case DbError::Kind::Conflict:
        return QStringLiteral("Server sedang sibuk. Silakan coba lagi.");
    default:
        return QStringLiteral("Server menolak perintah. Hubungi petugas bila berulang.");
    }
}

} // namespace

void showDatabaseError(const QString& what, const DbError& error, QWidget* parent) {
    QString advice;
    ServerSwitch* server = serverSwitch();
    if (error.kind() == DbError::Kind::Connection && server)
        advice = ServerSwitch::explain(server->connectionLost());
    else
        advice = adviceFor(error);
    showMessage(MessageIcon::Warning,
                what + QStringLiteral("\n") + advice + QStringLiteral("\n\n(") + error.message() +
                    QLatin1Char(')'),
                parent);
}

} // namespace kalinda
