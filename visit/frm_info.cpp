#include "frm_info.h"

#include "app/dialogs.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kalinda {

frmInfo::frmInfo(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmInfo"));
    setWindowTitle(kAppTitle);
    lblInfo = new QLabel(QStringLiteral("TEMPELKAN KARTU CASHLESS"), this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setAlignment(Qt::AlignCenter);
    lblInfo->setWordWrap(true);
    QFont f = lblInfo->font();
    f.setBold(true);
    f.setPointSize(f.pointSize() + 6);
    lblInfo->setFont(f);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    cmdOK = ok;
    connect(cmdOK, &QAbstractButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblInfo, 1);
    layout->addWidget(cmdOK, 0, Qt::AlignHCenter);
    setMinimumSize(420, 180);
}

void showInfo(const QString& text, QWidget* parent) {
    frmInfo form(parent);
    form.lblInfo->setText(text);
    dialogs().exec(form);
}

} // namespace kalinda
