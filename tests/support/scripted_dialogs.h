#pragma once

#include "app/dialogs.h"
#include "support/printers.h"

#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace kalinda::test {

// Answers the kiosk's dialogs in tests: records messages, answers input boxes from a queue
// and lets a test drive each modal form while it is open. Installs itself while it lives.
class ScriptedDialogs final : public Dialogs {
public:
    struct Message {
        MessageIcon icon;
        QString text;
        QString title;
    };
    struct InputCall {
        QString prompt;
        QString title;
        QString defaultText;
        InputEcho echo;
    };
    using ModalHandler = std::function<void(QDialog&)>;

    ScriptedDialogs();
    ~ScriptedDialogs() override;

    // Answers for the next input boxes, in order; nullopt is Cancel. An input box with no
    // queued answer is cancelled.
    void queueInput(const std::optional<QString>& answer) {
        answers_.push_back({answer.has_value(), answer.value_or(QString())});
    }
    // Runs inside the next modal form's event loop. A form shown without a handler is closed
    // at once (rejected).
    void onNextModal(ModalHandler handler) { handlers_.push_back(std::move(handler)); }
    // Called for every message as it is shown (after it is recorded).
    std::function<void(const Message&)> onMessage;

    std::vector<Message> messages;
    std::vector<InputCall> inputs;
    QStringList modalsShown; // object names of the forms shown modally

    QStringList messageTexts() const;
    void clear();

    void message(QWidget* parent, MessageIcon icon, const QString& text,
                 const QString& title) override;
    std::optional<QString> input(QWidget* parent, const QString& prompt, const QString& title,
                                 const QString& defaultText, InputEcho echo) override;
    int exec(QDialog& dialog) override;

private:
    std::deque<std::pair<bool, QString>> answers_; // (answered, text)
    std::deque<ModalHandler> handlers_;
};

} // namespace kalinda::test
