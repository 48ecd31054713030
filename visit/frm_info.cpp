#include "frm_info.h"

#include "app/dialogs.h"
#include "widgets/info_ok_button.h"
#include "widgets/kiosk_style.h"
#include "widgets/themed_button.h"

#include <QLabel>
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

    ThemedButton* ok = makeInfoOkButton(*this);
    ok->setMinimumSize(120, kTouchPixels); // not a QPushButton: the style sheet misses it
    cmdOK = ok;
    connect(ok, &ThemedButton::Click, this, &QDialog::accept);

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
