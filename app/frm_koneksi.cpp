#include "frm_koneksi.h"

#include "connection.h"
#include "dialogs.h"
#include "helpers.h"
#include "profile.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kalinda {

void FillProfileList(QComboBox* combo) {
    combo->clear();
    for (const auto& profile : connectionProfiles())
        combo->addItem(profile.listText);
    combo->setCurrentIndex(-1);
}

frmKoneksi::frmKoneksi(std::function<void()> onContinue, const EncodedSettings& stored,
                       QWidget* parent)
    : QWidget(parent)
    , onContinue_(std::move(onContinue))
    , stored_(stored) {
    setObjectName(QStringLiteral("frmKoneksi"));
    setWindowTitle(kAppTitle);
    setAttribute(Qt::WA_DeleteOnClose);

    Label1 = new QLabel(QStringLiteral("KONEKSI KALINDA APP"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    QFont title = Label1->font();
    title.setBold(true);
    title.setPointSize(title.pointSize() + 4);
    Label1->setFont(title);

    Label6 = new QLabel(QStringLiteral("Pilih Jenis Koneksi!"), this);
    Label6->setObjectName(QStringLiteral("Label6"));

    cboKoneksi = new QComboBox(this);
    cboKoneksi->setObjectName(QStringLiteral("cboKoneksi"));
    cboKoneksi->setEditable(true);
    cboKoneksi->setInsertPolicy(QComboBox::NoInsert);
    Label6->setBuddy(cboKoneksi);

    txtKdKoneksi = new QLineEdit(this);
    txtKdKoneksi->setObjectName(QStringLiteral("txtKdKoneksi"));
    txtKdKoneksi->setAccessibleName(QStringLiteral("Kode Koneksi"));
    txtKdKoneksi->setMaximumWidth(60);
    txtKdKoneksi->setAlignment(Qt::AlignCenter);

    cmdLanjut = new QPushButton(QStringLiteral("OK"), this);
    cmdLanjut->setObjectName(QStringLiteral("cmdLanjut"));

    auto* row = new QHBoxLayout;
    row->addWidget(cboKoneksi, 1);
    row->addWidget(txtKdKoneksi);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Label6);
    layout->addLayout(row);
    layout->addWidget(cmdLanjut);
    setMinimumWidth(360);

    connect(cboKoneksi, &QComboBox::activated, this, [this] { cboKoneksi_Click(); });
    connect(cboKoneksi->lineEdit(), &QLineEdit::textEdited, this, [this] { cboKoneksi_Click(); });
    connect(txtKdKoneksi, &QLineEdit::textChanged, this, [this] { txtKdKoneksi_Change(); });
    connect(cmdLanjut, &QPushButton::clicked, this, [this] { cmdLanjut_Click(); });

    Form_Load();
}

void frmKoneksi::Form_Load() {
    cmdLanjut->setEnabled(false);
    FillProfileList(cboKoneksi);
}

// Also the body of cboKoneksi_Change.
void frmKoneksi::cboKoneksi_Click() {
    txtKdKoneksi->setText(GetToken(cboKoneksi->currentText(), QStringLiteral(":"), 1));
}

void frmKoneksi::txtKdKoneksi_Change() {
    QString separator = QStringLiteral(":");
    int position = 1;
    SelectComboByKey(txtKdKoneksi->text(), cboKoneksi, separator, position);
    TanggalServer();
}

void frmKoneksi::TanggalServer() {
    cmdLanjut->setEnabled(ConnectProfile(txtKdKoneksi->text(), stored_));
}

void frmKoneksi::cmdLanjut_Click() {
    if (trimBlanks(txtKdKoneksi->text()).isEmpty()) {
        showMessage(MessageIcon::Warning, QStringLiteral("Pilih Koneksi!"), this);
        cboKoneksi->setFocus();
        return;
    }
    if (onContinue_)
        onContinue_();
    close();
}

} // namespace kalinda
