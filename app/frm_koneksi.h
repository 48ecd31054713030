#pragma once

#include "settings.h"

#include <QWidget>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kalinda {

// The start-up window: the operator picks a connection profile; OK goes on to the main screen
// once the main connection stands.
class frmKoneksi final : public QWidget {
    Q_OBJECT
public:
    // `onContinue` shows the main screen; this form closes itself after calling it.
    explicit frmKoneksi(std::function<void()> onContinue,
                        const EncodedSettings& stored = builtInSettings(),
                        QWidget* parent = nullptr);

    QComboBox* cboKoneksi;
    QLineEdit* txtKdKoneksi;
    QPushButton* cmdLanjut;
    QLabel* Label1;
    QLabel* Label6;

    void TanggalServer();

private:
    void Form_Load();
    void cboKoneksi_Click();
    void txtKdKoneksi_Change();
    void cmdLanjut_Click();

    std::function<void()> onContinue_;
    EncodedSettings stored_;
};

// Clears the combo and adds the four profile texts in order.
void FillProfileList(QComboBox* combo);

} // namespace kalinda
