#pragma once

#include "app/db.h"

#include <QImage>
#include <QWidget>

namespace kalinda {

// The holder's photo decoded in memory; a null image when there is no photo row, the database
// fails or the bytes are not an image.
QImage loadHolderPhoto(Connection& db, const QString& holderId);

// The main screen's picture box: the photo stretched to fill the whole box, proportions not
// kept.
class PhotoBox final : public QWidget {
    Q_OBJECT
public:
    explicit PhotoBox(QWidget* parent = nullptr);

    void setPicture(const QImage& picture);
    void clearPicture() { setPicture(QImage()); }
    const QImage& picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
};

} // namespace kalinda
