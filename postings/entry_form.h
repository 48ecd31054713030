#pragma once

#include <QString>

class QDialog;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kalinda {

// The parts the small entry forms of the menu (PIN change, block) share: a title and subtitle,
// labelled entry boxes each with a "<>" that empties it, and SIMPAN and KELUAR.
class EntryForm {
public:
    // Lays the form out with its title and subtitle; rows and buttons follow.
    EntryForm(QDialog& form, const QString& title, const QString& subtitle);

    QLabel* lblJudul;
    QLabel* lblSubJudul;

    // Adds a line below the title (a hint).
    QLabel* addNote(const char* name, const QString& text);
    // A label, the centred box it names, and the box's "<>" button.
    QLineEdit* addEntry(const QString& caption, const char* boxName, QPushButton*& reset,
                        const char* resetName);
    // SIMPAN (green, the default button) and KELUAR (red, closes the form).
    void addButtons(QPushButton*& simpan, QPushButton*& keluar);

private:
    QDialog& form_;
    QGridLayout* grid_;
    int row_ = 0;
};

} // namespace kalinda
