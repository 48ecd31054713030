#pragma once

#include <QDialog>

class QAbstractButton;
class QLabel;

namespace kalinda {

// A small modal box with one line of information and an OK button.
class frmInfo final : public QDialog {
    Q_OBJECT
public:
    explicit frmInfo(QWidget* parent = nullptr);

    QLabel* lblInfo;
    QAbstractButton* cmdOK;
};

// Shows `text` in frmInfo and waits for OK.
void showInfo(const QString& text, QWidget* parent = nullptr);

} // namespace kalinda
