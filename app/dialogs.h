#pragma once

#include <QString>
#include <optional>

class QDialog;
class QLineEdit;
class QWidget;

namespace kalinda {

// The application title shown on every message box.
inline const QString kAppTitle = QStringLiteral("KalindaApp");

enum class MessageIcon { Information, Warning, Error };

enum class InputEcho { Normal, Password };

// The dynamic property a form may set on a box to choose its on-screen pad: "digits", "text"
// or "none". Owned here so that every folder can say it; the keypad reads it.
inline constexpr const char* kKeypadProperty = "kalindaKeypad";

// Hides what is typed in `box` (a card, a PIN, a password) behind one "*" per character, on
// every platform and with or without the kiosk's style.
void maskInput(QLineEdit& box);

// Every dialog the kiosk raises goes through here, so tests can answer them without a person.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    virtual void message(QWidget* parent, MessageIcon icon, const QString& text,
                         const QString& title) = 0;
    // nullopt when the box was cancelled; an empty answer is an empty string.
    virtual std::optional<QString> input(QWidget* parent, const QString& prompt,
                                         const QString& title, const QString& defaultText,
                                         InputEcho echo) = 0;
    // Shows a form modally and returns its result code.
    virtual int exec(QDialog& dialog) = 0;
};

// The process-wide seam. Defaults to real Qt dialogs.
Dialogs& dialogs();
// Installs another implementation (not owned); nullptr restores the real one.
void setDialogs(Dialogs* replacement);

// Message box with the application title.
void showMessage(MessageIcon icon, const QString& text, QWidget* parent = nullptr);

class DbError;
// Tells the user, in plain words, that `what` could not be done because the database refused
// or could not be reached, with the server's own message below. A lost connection is first
// handed to the installed ServerSwitch, which finds out whether the server is gone (and may
// move the kiosk); the message then says which server, and where the kiosk is now.
void showDatabaseError(const QString& what, const DbError& error, QWidget* parent = nullptr);

} // namespace kalinda
