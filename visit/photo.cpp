#include "photo.h"

#include <QPainter>

namespace kalinda {

QImage loadHolderPhoto(Connection& db, const QString& holderId) {
    try {
        Sql s;
        s << "SELECT foto_file FROM `cashless-adm`.data_nasabah_foto "
          << "WHERE foto_kode = '" << esc(holderId) << "'";
        Recordset rs = db.open(s);
        if (rs.eof())
            return {};
        return QImage::fromData(rs.bytes(QStringLiteral("foto_file")));
    } catch (const DbError&) {
        // A photo is a courtesy: without it the visit goes on.
        return {};
    }
}

PhotoBox::PhotoBox(QWidget* parent)
    : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void PhotoBox::setPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

void PhotoBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    if (!picture_.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(rect(), picture_);
    }
}

} // namespace kalinda
