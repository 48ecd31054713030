#include "scripted_dialogs.h"

#include <QDialog>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace kalinda::test {

ScriptedDialogs::ScriptedDialogs() {
    setDialogs(this);
}

ScriptedDialogs::~ScriptedDialogs() {
    setDialogs(nullptr);
}

QStringList ScriptedDialogs::messageTexts() const {
    QStringList out;
    for (const auto& m : messages)
        out << m.text;
    return out;
}

void ScriptedDialogs::clear() {
    messages.clear();
    inputs.clear();
    modalsShown.clear();
    answers_.clear();
    handlers_.clear();
}

void ScriptedDialogs::message(QWidget*, MessageIcon icon, const QString& text,
                              const QString& title) {
    messages.push_back({icon, text, title});
    if (onMessage)
        onMessage(messages.back());
}

std::optional<QString> ScriptedDialogs::input(QWidget*, const QString& prompt, const QString& title,
                                              const QString& defaultText, InputEcho echo) {
    inputs.push_back({prompt, title, defaultText, echo});
    if (answers_.empty())
        return std::nullopt;
    const auto [answered, text] = answers_.front();
    answers_.pop_front();
    if (!answered)
        return std::nullopt;
    return text;
}

int ScriptedDialogs::exec(QDialog& dialog) {
    modalsShown << dialog.objectName();
    if (handlers_.empty())
        return QDialog::Rejected;
    ModalHandler handler = std::move(handlers_.front());
    handlers_.pop_front();
    QPointer<QDialog> guard(&dialog);
    QTimer::singleShot(0, &dialog, [guard, handler] {
        // As on a real screen, the form is driven once it is the active window.
        if (guard)
            (void)QTest::qWaitForWindowActive(guard.data(), 2000);
        if (guard)
            handler(*guard);
    });
    // A form the test forgot to close must not hang the run.
    QTimer::singleShot(10000, &dialog, [guard] {
        if (guard && guard->isVisible()) {
            ADD_FAILURE() << "form " << guard->objectName().toStdString() << " left open";
            guard->reject();
        }
    });
    return dialog.exec();
}

} // namespace kalinda::test
