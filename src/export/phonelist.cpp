#include "export/phonelist.h"

#include "contacts/contacttable.h"
#include "platform/displaytext.h"

#include <QDate>
#include <QFontMetricsF>
#include <QIODevice>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <array>

namespace tovanel {

namespace {

struct Column {
    Field field;
    const char16_t* heading;
    double share; // of the text width
};
// A phone list is read for its numbers: their columns take a number of 14 characters in bold whole, and the
// company gives way first.
constexpr std::array<Column, 6> Columns = {{
    {Field::Name, u"Name", 0.19},
    {Field::Company, u"Firma", 0.135},
    {Field::MobilePhone, u"Mobil", 0.16},
    {Field::HomePhone, u"Privat", 0.16},
    {Field::WorkPhone, u"Arbeit", 0.16},
    {Field::Email, u"e-mail", 0.195},
}};

bool isPhone(Field field) {
    return field == Field::MobilePhone || field == Field::HomePhone || field == Field::WorkPhone;
}

// The letter a name is filed under: "Ä" and "À" with "A", anything not a letter under "#".
QChar initialOf(QStringView name) {
    const auto first = std::find_if(name.begin(), name.end(), [](QChar c) { return !c.isSpace(); });
    if (first == name.end()) {
        return u'#';
    }
    const qsizetype start = first - name.begin();
    const QString letter = name.mid(start, 1).toString().normalized(QString::NormalizationForm_D);
    const QChar base = letter.at(0).toUpper();
    return base.isLetter() ? base : QChar(u'#');
}

class Layout {
public:
    Layout(const ExportRequest& request, QPainter& painter) : m_request(request), m_painter(painter) {
        m_font = QFont(QStringLiteral("DejaVu Sans"));
        m_font.setPointSizeF(8);
        // Any letter spacing turns ligatures off: "ff" stays two letters for whoever searches the PDF.
        m_font.setLetterSpacing(QFont::AbsoluteSpacing, 0.05);
        m_bold = m_font;
        m_bold.setBold(true);
        m_titleFont = m_bold;
        m_titleFont.setPointSizeF(13);
        const QRect page = painter.viewport();
        m_width = page.width();
        m_height = page.height();
        const QFontMetricsF metrics(m_font, painter.device());
        m_line = metrics.height() * 1.35;
        m_ascent = metrics.ascent();
        const QFontMetricsF titleMetrics(m_titleFont, painter.device());
        m_bodyTop = titleMetrics.height() * 1.6 + m_line * 1.3;
        m_bodyBottom = m_height - m_line * 1.8;
        m_rowsPerPage = std::max(1, int((m_bodyBottom - m_bodyTop) / m_line));
    }

    // Walks the list as the pages will show it, counting pages only.
    int pageCount() {
        int pages = 1;
        int line = 0;
        QChar initial;
        for (int row = 0; row < m_request.list.rows(); ++row) {
            const int needed = startsLetter(row, initial) ? 2 : 1;
            if (line + needed > m_rowsPerPage) {
                ++pages;
                line = 0;
            }
            line += needed;
        }
        return pages;
    }

    bool paint(QPagedPaintDevice& device, int mostPages, int* allPages) {
        const int pages = pageCount();
        if (allPages != nullptr) {
            *allPages = pages;
        }
        const QString date =
            QLocale(QLocale::German).toString(QDate::currentDate(), QStringLiteral("dd.MM.yyyy"));
        int row = 0;
        QChar initial;
        const int painted = mostPages > 0 ? std::min(pages, mostPages) : pages;
        for (int page = 1; page <= painted; ++page) {
            if (m_request.progress && !m_request.progress(row, m_request.list.rows())) {
                return false;
            }
            if (page > 1 && !device.newPage()) {
                return false;
            }
            paintFrame(page, pages, date);
            int line = 0;
            while (row < m_request.list.rows()) {
                QChar next = initial;
                const bool letter = startsLetter(row, next);
                if (line + (letter ? 2 : 1) > m_rowsPerPage) {
                    break;
                }
                if (letter) {
                    m_painter.setFont(m_bold);
                    m_painter.drawText(QPointF(0, m_bodyTop + line * m_line + m_ascent), QString(next));
                    ++line;
                }
                initial = next;
                paintRow(row, m_bodyTop + line * m_line);
                ++line;
                ++row;
            }
        }
        return true;
    }

private:
    bool startsLetter(int row, QChar& initial) const {
        if (!m_request.sortedByName) {
            return false;
        }
        const ContactList& list = m_request.list;
        const QChar letter = initialOf(shownName(list.table, list.contactAt(row), list.nameOrder));
        if (letter == initial) {
            return false;
        }
        initial = letter;
        return true;
    }

    void paintCells(const std::array<QString, Columns.size()>& texts,
                    const std::array<bool, Columns.size()>& bold, double top) {
        double left = 0;
        const double gap = m_line * 0.4;
        for (size_t i = 0; i < Columns.size(); ++i) {
            const double width = m_width * Columns[i].share;
            const QFont& font = bold[i] ? m_bold : m_font;
            m_painter.setFont(font);
            const QFontMetricsF metrics(font, m_painter.device());
            const double room = width - gap;
            const double needed = metrics.horizontalAdvance(texts[i]);
            if (needed > room && isPhone(Columns[i].field)) {
                // A number with a digit missing dials someone else: it is narrowed to fit, never cut.
                m_painter.save();
                m_painter.translate(left, top + m_ascent);
                m_painter.scale(room / needed, 1);
                m_painter.drawText(QPointF(0, 0), texts[i]);
                m_painter.restore();
            } else {
                m_painter.drawText(QPointF(left, top + m_ascent),
                                   metrics.elidedText(texts[i], Qt::ElideRight, room));
            }
            left += width;
        }
    }

    void paintRow(int row, double top) {
        const qsizetype contact = m_request.list.contactAt(row);
        std::array<QString, Columns.size()> texts;
        std::array<bool, Columns.size()> bold{};
        for (size_t i = 0; i < Columns.size(); ++i) {
            const Field field = Columns[i].field;
            // One line per contact: a note's or name's line breaks would run into the next row. Cut first
            // as the list cuts it: laying out a value of megabytes only to elide it would take minutes.
            texts[i] = oneLine(
                cellText(field == Field::Name
                             ? QStringView(shownName(m_request.list.table, contact, m_request.list.nameOrder))
                             : m_request.list.table.text(contact, field)));
            bold[i] = m_request.list.table.isBold(contact, field);
        }
        paintCells(texts, bold, top);
    }

    void paintFrame(int page, int pages, const QString& date) {
        m_painter.setFont(m_titleFont);
        const QFontMetricsF titleMetrics(m_titleFont, m_painter.device());
        const QRectF titleBox(0, 0, m_width, titleMetrics.height());
        const double dateWidth = titleMetrics.horizontalAdvance(date) + m_line;
        m_painter.drawText(titleBox.adjusted(0, 0, -dateWidth, 0), Qt::AlignLeft | Qt::AlignVCenter,
                           titleMetrics.elidedText(m_request.title, Qt::ElideMiddle, m_width - dateWidth));
        m_painter.drawText(titleBox, Qt::AlignRight | Qt::AlignVCenter, date);

        std::array<QString, Columns.size()> headings;
        std::array<bool, Columns.size()> bold;
        for (size_t i = 0; i < Columns.size(); ++i) {
            headings[i] = QString::fromUtf16(Columns[i].heading);
            bold[i] = true;
        }
        const double headingTop = m_bodyTop - m_line * 1.2;
        paintCells(headings, bold, headingTop);
        m_painter.setPen(QPen(Qt::black, 0));
        m_painter.drawLine(QPointF(0, headingTop + m_line), QPointF(m_width, headingTop + m_line));

        m_painter.setFont(m_font);
        m_painter.drawText(QRectF(0, m_height - m_line, m_width, m_line), Qt::AlignHCenter | Qt::AlignBottom,
                           QStringLiteral("Seite %1 von %2").arg(page).arg(pages));
    }

    const ExportRequest& m_request;
    QPainter& m_painter;
    QFont m_font;
    QFont m_bold;
    QFont m_titleFont;
    double m_width = 0;
    double m_height = 0;
    double m_line = 1;
    double m_ascent = 0;
    double m_bodyTop = 0;
    double m_bodyBottom = 0;
    int m_rowsPerPage = 1;
};

} // namespace

bool paintPhoneList(const ExportRequest& request, QPainter& painter, QPagedPaintDevice& device, int mostPages,
                    int* allPages) {
    Layout layout(request, painter);
    return layout.paint(device, mostPages, allPages);
}

QPageLayout phoneListPageLayout() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                       QPageLayout::Millimeter);
}

bool writePhoneList(const ExportRequest& request, QIODevice& out) {
    QPdfWriter writer(&out);
    writer.setPageLayout(phoneListPageLayout());
    writer.setResolution(300);
    writer.setTitle(request.title);
    writer.setCreator(QStringLiteral("Tovanel"));
    QPainter painter;
    if (!painter.begin(&writer)) {
        return false;
    }
    const bool done = paintPhoneList(request, painter, writer);
    painter.end();
    return done;
}

} // namespace tovanel
