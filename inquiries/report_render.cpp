#include "report_render.h"

#include "report.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <array>

namespace kalinda {
namespace {

struct Column {
    const char* title;
    double share; // of the page width
    Qt::Alignment align;
};

// Left to right; the shares add up to 1.
constexpr std::array<Column, 8> kColumns{{
    {"No", 0.065, Qt::AlignRight},
    {"Tanggal", 0.105, Qt::AlignHCenter},
    {"Trans ID", 0.165, Qt::AlignLeft},
    {"No. Rekening", 0.14, Qt::AlignLeft},
    {"Nama", 0.225, Qt::AlignLeft},
    {"Kelas", 0.085, Qt::AlignLeft},
    {"Jumlah Rp", 0.125, Qt::AlignRight},
    {"User", 0.09, Qt::AlignLeft},
}};
constexpr std::size_t kAmountColumn = 6;

QFont font(double points, bool bold = false) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// Heights of the bands in device pixels, and the flow of bands down the pages.
class Layout {
public:
    explicit Layout(QPagedPaintDevice& device)
        : title(font(12, true))
        , text(font(9))
        , head(font(7.5, true))
        , detail(font(7.5))
        , small(font(7))
        , width_(device.width())
        , height_(device.height())
        , mm_(device.logicalDpiY() / 25.4) {
        const auto lineOf = [&device](const QFont& f) {
            return QFontMetricsF(f, &device).height();
        };
        rowHeight = lineOf(detail) * 1.5;
        headHeight = lineOf(head) * 1.8;
        reportHeader = 2 * lineOf(title) + 2 * lineOf(text) + 4 * mm_;
        signatureHeight = 28 * mm_;
        footer = rowHeight + 6 * mm_ + signatureHeight + 4 * mm_ + lineOf(small) * 1.5;
        pageFooter = lineOf(small) * 2;
        double x = 0;
        for (std::size_t i = 0; i < kColumns.size(); ++i) {
            left[i] = x;
            x += kColumns[i].share * width_;
        }
        left[kColumns.size()] = width_;
    }

    double mm(double value) const { return value * mm_; }
    double width() const { return width_; }
    double bottom() const { return height_ - pageFooter; }
    double pageHeight() const { return height_; }

    // Moves to the next band of height `h`; starts a new page (below its column titles) when it
    // does not fit. True when a page was started.
    bool place(double h) {
        if (y + h <= bottom())
            return false;
        ++page;
        y = headHeight;
        return true;
    }

    void start() {
        page = 1;
        y = reportHeader + headHeight;
    }

    double y = 0;
    int page = 1;

    const QFont title, text, head, detail, small;
    double rowHeight = 0, headHeight = 0, reportHeader = 0, signatureHeight = 0, footer = 0,
           pageFooter = 0;
    std::array<double, kColumns.size() + 1> left{};

private:
    double width_;
    double height_;
    double mm_;
};

int countPages(Layout layout, int rows) {
    layout.start();
    for (int i = 0; i < rows; ++i) {
        layout.place(layout.rowHeight);
        layout.y += layout.rowHeight;
    }
    layout.place(layout.footer);
    return layout.page;
}

class Painter {
public:
    Painter(QPainter& p, Layout& layout)
        : p_(p)
        , l_(layout) {
        p_.setPen(QPen(Qt::black, l_.mm(0.2)));
    }

    void reportHeader(const rptTransaksi& r) {
        double y = 0;
        y = line(r.lblNamaBank, l_.title, y, Qt::AlignLeft);
        y = line(r.lblAlamatBank, l_.text, y, Qt::AlignLeft);
        y += l_.mm(2);
        y = line(r.lblJudulLaporan, l_.title, y, Qt::AlignHCenter);
        line(r.lblPeriode, l_.text, y, Qt::AlignHCenter);
    }

    void columnTitles(double y) {
        p_.setFont(l_.head);
        const double h = l_.headHeight;
        p_.fillRect(QRectF(0, y, l_.width(), h), QColor(230, 230, 230));
        for (std::size_t i = 0; i < kColumns.size(); ++i) {
            const QRectF cell(l_.left[i], y, l_.left[i + 1] - l_.left[i], h);
            p_.drawRect(cell);
            p_.drawText(cell, Qt::AlignCenter, QString::fromLatin1(kColumns[i].title));
        }
    }

    void detail(const rptTransaksi& r, double y) {
        const std::array<const QString*, kColumns.size()> texts{
            &r.lblNo,   &r.lblTanggal, &r.lblTransID, &r.lblRekening,
            &r.lblNama, &r.lblKelas,   &r.lblJumlah,  &r.lblUser};
        p_.setFont(l_.detail);
        for (std::size_t i = 0; i < kColumns.size(); ++i)
            cell(i, i, *texts[i], y, l_.rowHeight, kColumns[i].align);
    }

    void footer(const rptTransaksi& r, double y) {
        p_.setFont(l_.head);
        cell(0, kAmountColumn - 1, QStringLiteral("Total"), y, l_.rowHeight, Qt::AlignRight);
        cell(kAmountColumn, kAmountColumn, r.lblTotalJumlah, y, l_.rowHeight, Qt::AlignRight);
        cell(kAmountColumn + 1, kColumns.size() - 1, QString(), y, l_.rowHeight, Qt::AlignLeft);
        y += l_.rowHeight + l_.mm(6);

        const double gap = l_.mm(8);
        const double boxWidth = (l_.width() - 2 * gap) / 3;
        const std::array<QString, 3> captions{QStringLiteral("Dibuat"), QStringLiteral("Diperiksa"),
                                              QStringLiteral("Disahkan")};
        p_.setFont(l_.text);
        const double captionHeight = QFontMetricsF(l_.text, p_.device()).height() * 1.4;
        for (std::size_t i = 0; i < captions.size(); ++i) {
            const QRectF box(i * (boxWidth + gap), y, boxWidth, l_.signatureHeight);
            p_.drawRect(box);
            p_.drawLine(QPointF(box.left(), box.top() + captionHeight),
                        QPointF(box.right(), box.top() + captionHeight));
            p_.drawText(QRectF(box.left(), box.top(), box.width(), captionHeight), Qt::AlignCenter,
                        captions[i]);
        }
        y += l_.signatureHeight + l_.mm(4);
        line(r.lblDicetak, l_.small, y, Qt::AlignLeft);
    }

    void pageNumber(int page, int pages) {
        p_.setFont(l_.small);
        const double h = l_.pageFooter;
        p_.drawText(QRectF(0, l_.pageHeight() - h, l_.width(), h), Qt::AlignRight | Qt::AlignBottom,
                    QStringLiteral("Halaman %1 dari %2").arg(page).arg(pages));
    }

private:
    // One framed cell spanning columns first..last.
    void cell(std::size_t first, std::size_t last, const QString& text, double y, double h,
              Qt::Alignment align) {
        const QRectF frame(l_.left[first], y, l_.left[last + 1] - l_.left[first], h);
        p_.drawRect(frame);
        const QRectF inner = frame.adjusted(l_.mm(1), 0, -l_.mm(1), 0);
        const QString shown =
            QFontMetricsF(p_.font(), p_.device()).elidedText(text, Qt::ElideRight, inner.width());
        p_.drawText(inner, align | Qt::AlignVCenter, shown);
    }

    double line(const QString& text, const QFont& f, double y, Qt::Alignment align) {
        p_.setFont(f);
        const double h = QFontMetricsF(f, p_.device()).height();
        p_.drawText(QRectF(0, y, l_.width(), h), align | Qt::AlignVCenter, text);
        return y + h;
    }

    QPainter& p_;
    Layout& l_;
};

} // namespace

int renderReport(rptTransaksi& report, QPagedPaintDevice& device) {
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter));
    report.ActiveReport_ReportStart();
    Layout layout(device);
    const int pages = countPages(layout, report.rowCount());

    QPainter p;
    if (!p.begin(&device))
        return 0;
    Painter draw(p, layout);
    layout.start();
    draw.reportHeader(report);
    draw.columnTitles(layout.reportHeader);

    const auto nextPage = [&] {
        draw.pageNumber(layout.page - 1, pages);
        device.newPage();
        draw.columnTitles(0);
    };
    for (;;) {
        bool eof = true;
        report.ActiveReport_FetchData(eof);
        if (eof)
            break;
        if (layout.place(layout.rowHeight))
            nextPage();
        draw.detail(report, layout.y);
        layout.y += layout.rowHeight;
    }
    if (layout.place(layout.footer))
        nextPage();
    draw.footer(report, layout.y);
    draw.pageNumber(layout.page, pages);
    p.end();
    return pages;
}

} // namespace kalinda
