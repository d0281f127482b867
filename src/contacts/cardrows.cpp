// The whole card: the rows a card's own text holds besides the fixed cells, read when the detail window
// is opened so that the table keeps nothing more per contact.
#include "cardrows.h"

#include "addresstablemodel.h"
#include "asciicase.h"
#include "cardrules.h"
#include "cardsource.h"
#include "decoders.h"
#include "importmessages.h"
#include "propertyline.h"

#include <QBuffer>
#include <QDate>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <algorithm>
#include <array>
#include <optional>
#include <vector>

namespace {

using AsciiCase::is;
using PropertyLexer::Parameters;

// Pictures are decoded only up to these: a card may claim any size, and a photo of a contact is small.
constexpr qsizetype MaxPhotoBytes = qsizetype(16) << 20;
constexpr qint64 MaxPhotoPixels = qint64(25) << 20;
constexpr int PhotoAllocationLimitMb = 128;

// One logical property line of the card, unfolded.
struct Line {
    QByteArray group; // "item1" of "item1.TEL", lower case
    QByteArray name;  // upper case, without the group
    QByteArray key;   // name and parameters as they stand
    QByteArray value; // raw
    Parameters parameters;
    std::vector<QByteArray> types; // every TYPE value and bare parameter, lower case
};

bool hasType(const Line& line, const char* type) {
    return std::find(line.types.begin(), line.types.end(), QByteArray(type)) != line.types.end();
}

QByteArrayView unquote(QByteArrayView text) {
    text = text.trimmed();
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        return text.sliced(1, text.size() - 2);
    }
    return text;
}

// The key's parameters as a list of types and named values; the lexer's Parameters say what the import
// needs, this adds the kinds the further rows are labelled by.
void collectTypes(Line& line, QByteArrayView key) {
    qsizetype start = key.indexOf(';');
    while (start >= 0) {
        qsizetype end = start + 1;
        bool quoted = false;
        while (end < key.size() && (quoted || key[end] != ';')) {
            quoted ^= key[end] == '"';
            ++end;
        }
        const QByteArrayView parameter = key.sliced(start + 1, end - start - 1).trimmed();
        const qsizetype eq = parameter.indexOf('=');
        if (eq < 0) {
            line.types.push_back(parameter.toByteArray().toLower());
        } else if (is(parameter.first(eq).trimmed(), "TYPE")) {
            for (const QByteArray& type : unquote(parameter.sliced(eq + 1)).toByteArray().split(',')) {
                line.types.push_back(unquote(type).toByteArray().toLower());
            }
        } else if (is(parameter.first(eq).trimmed(), "X-SERVICE-TYPE")) {
            line.types.push_back("service=" + unquote(parameter.sliced(eq + 1)).toByteArray());
        } else if (is(parameter.first(eq).trimmed(), "VALUE")) {
            line.types.push_back("value=" + unquote(parameter.sliced(eq + 1)).toByteArray().toLower());
        }
        start = end < key.size() ? end : -1;
    }
}

std::vector<Line> logicalLines(const QByteArray& card) {
    std::vector<QByteArrayView> physical;
    qsizetype from = 0;
    for (qsizetype i = 0; i <= card.size(); ++i) {
        if (i == card.size() || card[i] == '\n' || card[i] == '\r') {
            physical.push_back(QByteArrayView(card).sliced(from, i - from));
            if (i + 1 < card.size() && card[i] == '\r' && card[i + 1] == '\n') {
                ++i;
            }
            from = i + 1;
        }
    }
    std::vector<Line> lines;
    QByteArray text;
    bool quotedPrintable = false;
    const auto finish = [&]() {
        if (text.isEmpty()) {
            return;
        }
        const QByteArrayView view(text);
        const qsizetype end = PropertyLexer::keyEnd(view);
        if (end < 0) {
            text.clear();
            return;
        }
        Line line;
        const PropertyLexer::PropertyLine parsed(view);
        line.parameters = parsed.parameters;
        line.key = text.left(end);
        line.value = parsed.value.toByteArray();
        qsizetype nameEnd = 0;
        bool quote = false;
        line.name = PropertyLexer::propertyName(view, nameEnd, quote).toByteArray().toUpper();
        const qsizetype dot = line.key.left(nameEnd).lastIndexOf('.');
        line.group = dot > 0 ? line.key.left(dot).toLower() : QByteArray();
        collectTypes(line, QByteArrayView(line.key).sliced(nameEnd));
        // The charset named in the key is a view into `text`: it is kept with the line.
        line.parameters.charset = QByteArrayView();
        const qsizetype charset = line.key.toUpper().indexOf("CHARSET=");
        if (charset >= 0) {
            qsizetype stop = charset + 8;
            while (stop < line.key.size() && line.key[stop] != ';') {
                ++stop;
            }
            line.types.push_back(
                "charset=" +
                unquote(QByteArrayView(line.key).sliced(charset + 8, stop - charset - 8)).toByteArray());
        }
        lines.push_back(std::move(line));
        text.clear();
    };
    bool softBreak = false;
    for (const QByteArrayView p : physical) {
        if (softBreak && !is(p, "END:VCARD") && !is(p, "BEGIN:VCARD")) {
            text.chop(1);
            text.append(p);
            softBreak = p.endsWith('=');
            continue;
        }
        if (softBreak) {
            text.chop(1);
        }
        if (!p.isEmpty() && PropertyLexer::isBlank(p.front()) && !text.isEmpty()) {
            text.append(p.sliced(1));
            softBreak = quotedPrintable && p.endsWith('=');
            continue;
        }
        finish();
        text = p.toByteArray();
        const qsizetype end = PropertyLexer::keyEnd(p);
        quotedPrintable = PropertyLexer::declaresQuotedPrintable(p, end);
        softBreak = quotedPrintable && p.endsWith('=');
    }
    finish();
    // The card is what follows its last "BEGIN" line, as the import counts cards.
    const auto begin =
        std::find_if(lines.rbegin(), lines.rend(), [](const Line& l) { return l.name == "BEGIN"; });
    if (begin != lines.rend()) {
        lines.erase(lines.begin(), begin.base());
    }
    return lines;
}

QByteArray charsetOf(const Line& line) {
    for (const QByteArray& type : line.types) {
        if (type.startsWith("charset=")) {
            return type.mid(8);
        }
    }
    return {};
}

// The text of a raw value or component: transfer encoding, charset, backslash escapes, as the import
// decodes it. The card's bytes are UTF-8 already where no transfer encoding hides them.
QString decodeValue(const Line& line, QByteArrayView raw) {
    const Parameters& p = line.parameters;
    const QByteArray charset = charsetOf(line);
    QString text;
    if (PropertyLexer::isQuotedPrintable(p, charset, raw)) {
        text = decodeCharset(decodeQuotedPrintable(raw), charset);
    } else if (p.base64) {
        text = decodeCharset(decodeBase64(raw), charset);
    } else {
        text = QString::fromUtf8(raw);
    }
    return unescapeText(text);
}

// The components of a value split at ";" and, inside each, at "," that no backslash escapes.
QList<QByteArrayView> splitUnescaped(QByteArrayView value, char separator) {
    QList<QByteArrayView> parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == '\\') {
            ++i;
        } else if (value[i] == separator) {
            parts << value.sliced(start, i - start);
            start = i + 1;
        }
    }
    parts << value.sliced(std::min(start, value.size()));
    return parts;
}

QByteArrayView component(QByteArrayView value, qsizetype index) {
    const QList<QByteArrayView> parts = splitUnescaped(value, ';');
    return index < parts.size() ? parts[index] : QByteArrayView();
}

QString appleLabel(const QString& label) {
    static const std::array<std::pair<const char*, const char*>, 27> builtIn{{
        {"Mobile", "Mobil"},
        {"Main", "Hauptnummer"},
        {"HomeFax", "Fax privat"},
        {"WorkFax", "Fax Arbeit"},
        {"OtherFax", "Fax andere"},
        {"Other", "Andere"},
        {"Pager", "Pager"},
        {"Home", "Privat"},
        {"Work", "Arbeit"},
        {"HomePage", "Homepage"},
        {"Anniversary", "Jahrestag"},
        {"Mother", "Mutter"},
        {"Father", "Vater"},
        {"Parent", "Elternteil"},
        {"Brother", "Bruder"},
        {"Sister", "Schwester"},
        {"Child", "Kind"},
        {"Friend", "Freund"},
        {"Spouse", "Ehepartner"},
        {"Partner", "Partner"},
        {"Assistant", "Assistent"},
        {"Manager", "Vorgesetzter"},
        {"School", "Schule"},
        {"iPhone", "iPhone"},
        {"AppleWatch", "Apple Watch"},
        {"Car", "Auto"},
        {"Radio", "Funk"},
    }};
    if (label.startsWith(QLatin1String("_$!<")) && label.endsWith(QLatin1String(">!$_"))) {
        const QString inner = label.mid(4, label.size() - 8);
        for (const auto& [english, german] : builtIn) {
            if (inner == QLatin1String(english)) {
                return QString::fromUtf8(german);
            }
        }
        return inner;
    }
    return label;
}

struct Card {
    std::vector<Line> lines;
    // Each group's label from its first X-ABLABEL with text, gathered once: a card may hold many groups.
    QHash<QByteArray, QString> labels;

    void gatherLabels() {
        for (const Line& line : lines) {
            if (!line.group.isEmpty() && line.name == "X-ABLABEL" && !labels.contains(line.group)) {
                const QString label = appleLabel(decodeValue(line, line.value).trimmed());
                if (!label.isEmpty()) {
                    labels.insert(line.group, label);
                }
            }
        }
    }
    std::optional<QString> labelOf(const Line& line) const {
        const auto found = line.group.isEmpty() ? labels.constEnd() : labels.constFind(line.group);
        return found == labels.constEnd() ? std::nullopt : std::optional<QString>(*found);
    }
};

QString telephoneNumber(const Line& line) {
    QString number = decodeValue(line, PropertyLexer::firstComponent(line.value));
    if (number.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive)) {
        number.remove(0, 4);
    }
    return nationalNumber(number);
}

QString telephoneLabel(const Line& line) {
    const bool fax = hasType(line, "fax");
    if (fax) {
        return hasType(line, "home")   ? QStringLiteral("Fax-Privat")
               : hasType(line, "work") ? QStringLiteral("Fax-Arbeit")
                                       : QStringLiteral("Fax");
    }
    if (hasType(line, "pager")) {
        return QStringLiteral("Pager");
    }
    if (hasType(line, "cell")) {
        return QStringLiteral("Tel-Mobil");
    }
    if (hasType(line, "home")) {
        return QStringLiteral("Tel-Privat");
    }
    if (hasType(line, "work")) {
        return QStringLiteral("Tel-Arbeit");
    }
    return QStringLiteral("Telefon");
}

// "15.04.1980", "15.04." for a date without a year; text that is no date as it stands.
QString germanDate(const QString& text) {
    QString date = text.trimmed();
    const qsizetype t = date.indexOf(QLatin1Char('T'));
    if (t >= 0) {
        date.truncate(t);
    }
    bool noYear = false;
    if (date.startsWith(QLatin1String("--"))) {
        noYear = true;
        date = QStringLiteral("2000") + date.mid(2);
    }
    date.remove(QLatin1Char('-'));
    if (date.size() != 8 || !std::all_of(date.begin(), date.end(), [](QChar c) { return c.isDigit(); })) {
        return text.trimmed();
    }
    int year = date.first(4).toInt();
    const int month = date.sliced(4, 2).toInt();
    const int day = date.sliced(6, 2).toInt();
    // Apple writes the year 1604 for a date whose year is not known.
    noYear |= year == 1604;
    if (noYear) {
        year = 2000;
    }
    if (!QDate(year, month, day).isValid()) {
        return text.trimmed();
    }
    const QString dayMonth =
        QStringLiteral("%1.%2.").arg(day, 2, 10, QLatin1Char('0')).arg(month, 2, 10, QLatin1Char('0'));
    return noYear ? dayMonth : dayMonth + QString::number(year);
}

QString postalAddress(const Line& line) {
    const QList<QByteArrayView> raw = splitUnescaped(line.value, ';');
    const auto part = [&](qsizetype index) {
        return index < raw.size() ? decodeValue(line, raw[index]).trimmed() : QString();
    };
    QStringList lines;
    const auto add = [&](const QString& text) {
        if (!text.isEmpty()) {
            lines << text;
        }
    };
    add(part(2));
    add(part(0));
    add(part(1));
    add((part(5) + QLatin1Char(' ') + part(3)).trimmed());
    add(part(4));
    add(part(6));
    return lines.join(QLatin1Char('\n'));
}

CardRow textRow(QString label, QString value, bool bold = false) {
    CardRow row;
    row.label = std::move(label);
    row.value = std::move(value);
    row.bold = bold;
    return row;
}

// Decodes a photo's bytes under the limits: at most `fit` when given (a JPEG is then decoded at a
// fraction of its size, which is many times faster), else whole. `full` is set to the size the picture
// claims. Null when the bytes are no picture, or claim too many pixels.
QImage decodePhotoBytes(const QByteArray& bytes, QSize fit, QSize* full = nullptr, bool headerOnly = false) {
    if (bytes.isEmpty() || bytes.size() > MaxPhotoBytes) {
        return {};
    }
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader::setAllocationLimit(PhotoAllocationLimitMb);
    QImageReader reader(&buffer);
    const QSize claimed = reader.size();
    if (!claimed.isValid() || claimed.isEmpty() ||
        qint64(claimed.width()) * claimed.height() > MaxPhotoPixels) {
        return {};
    }
    if (headerOnly) {
        *full = claimed;
        return {};
    }
    if (fit.isValid() && (claimed.width() > fit.width() || claimed.height() > fit.height())) {
        reader.setScaledSize(claimed.scaled(fit, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    }
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        return {};
    }
    if (full != nullptr) {
        *full = claimed;
    }
    return image;
}

CardRow photoRow(const Line& line, bool decode) {
    CardRow row = textRow(QStringLiteral("Foto"), {});
    const QByteArray value = line.value.trimmed();
    QByteArray bytes;
    if (value.startsWith("data:")) {
        const qsizetype comma = value.indexOf(',');
        const QByteArray header = value.left(comma < 0 ? 0 : comma).toLower();
        if (comma >= 0 && header.endsWith(";base64")) {
            bytes = decodeBase64(QByteArrayView(value).sliced(comma + 1));
        }
    } else if (line.parameters.base64) {
        if (value.size() / 4 * 3 <= MaxPhotoBytes) {
            bytes = decodeBase64(value);
        }
    } else {
        // A photo given by its address: the program uses no network, so the address is all there is.
        row.value = decodeValue(line, value).trimmed();
        if (!row.value.isEmpty()) {
            return row;
        }
    }
    QSize full;
    row.image = decodePhotoBytes(bytes, QSize(PhotoPreviewWidth, PhotoPreviewHeight), &full, !decode);
    if (!full.isValid()) {
        row.value = QStringLiteral("(kein lesbares Bild)");
    } else {
        row.photo = std::move(bytes);
        row.photoSize = full;
        row.value = QStringLiteral("[Bild %1x%2]").arg(full.width()).arg(full.height());
    }
    return row;
}

// The messenger properties of the usual exporters, with the service they are for.
std::optional<QString> messengerService(const QByteArray& name) {
    static const std::array<std::pair<const char*, const char*>, 14> services{{
        {"X-AIM", "AIM"},
        {"X-ICQ", "ICQ"},
        {"X-JABBER", "Jabber"},
        {"X-MSN", "MSN"},
        {"X-YAHOO", "Yahoo"},
        {"X-SKYPE", "Skype"},
        {"X-SKYPE-USERNAME", "Skype"},
        {"X-GOOGLE-TALK", "Google Talk"},
        {"X-GTALK", "Google Talk"},
        {"X-QQ", "QQ"},
        {"X-GADUGADU", "Gadu-Gadu"},
        {"X-GROUPWISE", "GroupWise"},
        {"X-MS-IMADDRESS", "IM"},
        {"X-SIP", "SIP"},
    }};
    for (const auto& [property, service] : services) {
        if (name == property) {
            return QString::fromUtf8(service);
        }
    }
    return std::nullopt;
}

QString messengerValue(const Line& line) {
    QString value = decodeValue(line, line.value).trimmed();
    if (const std::optional<QString> service = messengerService(line.name)) {
        return *service + QStringLiteral(": ") + value;
    }
    for (const QByteArray& type : line.types) {
        if (type.startsWith("service=")) {
            const qsizetype colon = value.indexOf(QLatin1Char(':'));
            return QString::fromUtf8(type.mid(8)) + QStringLiteral(": ") +
                   (colon >= 0 ? value.mid(colon + 1) : value);
        }
    }
    // "xmpp:name@host": the scheme names the service.
    const qsizetype colon = value.indexOf(QLatin1Char(':'));
    if (colon > 0 && !value.first(colon).contains(QLatin1Char('@'))) {
        return value.first(colon) + QStringLiteral(": ") + value.mid(colon + 1);
    }
    return value;
}

} // namespace

QList<CardRow> furtherCardRows(const QString& cardText, bool decodePhotos) {
    Card card;
    card.lines = logicalLines(cardText.toUtf8());
    card.gatherLabels();

    // Which TEL, EMAIL and ADR lines the import put in the fixed cells, by its own rules.
    struct Held {
        int line = -1;
        bool preferred = false;
        bool holds = false;
    };
    std::array<Held, 3> telephones;
    int email = -1;
    int homeAddress = -1;
    int workAddress = -1;
    for (int i = 0; i < int(card.lines.size()); ++i) {
        const Line& line = card.lines[size_t(i)];
        if (line.name == "TEL") {
            if (const std::optional<Field> field = CardRules::telephoneField(line.parameters)) {
                Held& held = telephones[size_t(int(*field) - int(Field::MobilePhone))];
                if (CardRules::replacesNumber(held.holds, held.preferred, line.parameters.pref)) {
                    held = {i, line.parameters.pref, !telephoneNumber(line).isEmpty()};
                }
            }
        } else if (line.name == "EMAIL") {
            email = i;
        } else if (line.name == "ADR") {
            (CardRules::isWorkAddress(line.parameters) ? workAddress : homeAddress) = i;
        }
    }
    const auto inCell = [&](int i) {
        return std::any_of(telephones.begin(), telephones.end(), [i](const Held& h) { return h.line == i; });
    };

    QList<CardRow> telephoneRows, emailRows, addressRows, dateRows, personRows, photoRows;
    std::vector<std::pair<int, CardRow>> person; // kind, row: sorted by kind, file order within
    for (int i = 0; i < int(card.lines.size()); ++i) {
        const Line& line = card.lines[size_t(i)];
        const QByteArray& name = line.name;
        const std::optional<QString> label = card.labelOf(line);
        if (name == "TEL") {
            if (!inCell(i)) {
                telephoneRows.append(textRow(label.value_or(telephoneLabel(line)), telephoneNumber(line),
                                             line.parameters.pref));
            }
        } else if (name == "EMAIL") {
            if (i != email) {
                const QString fallback = hasType(line, "home")   ? QStringLiteral("e-mail privat")
                                         : hasType(line, "work") ? QStringLiteral("e-mail Arbeit")
                                                                 : QStringLiteral("e-mail");
                emailRows.append(textRow(label.value_or(fallback),
                                         decodeValue(line, PropertyLexer::firstComponent(line.value))));
            }
        } else if (name == "ADR") {
            if (i == homeAddress || i == workAddress) {
                const QString region = decodeValue(line, component(line.value, 4)).trimmed();
                const QString country = decodeValue(line, component(line.value, 6)).trimmed();
                if (!region.isEmpty()) {
                    addressRows.append(textRow(QStringLiteral("Region"), region));
                }
                if (!country.isEmpty()) {
                    addressRows.append(textRow(QStringLiteral("Land"), country));
                }
            } else {
                const QString fallback = hasType(line, "work")   ? QStringLiteral("Adr.Arbeit")
                                         : hasType(line, "home") ? QStringLiteral("Adr.Privat")
                                                                 : QStringLiteral("Adresse");
                addressRows.append(textRow(label.value_or(fallback), postalAddress(line)));
            }
        } else if (name == "BDAY") {
            dateRows.append(textRow(QStringLiteral("Geburtstag"), germanDate(decodeValue(line, line.value))));
        } else if (name == "ANNIVERSARY" || name == "X-ANNIVERSARY" || name == "X-MS-ANNIVERSARY" ||
                   name == "X-ABDATE") {
            dateRows.append(textRow(label.value_or(QStringLiteral("Jahrestag")),
                                    germanDate(decodeValue(line, line.value))));
        } else if (name == "TITLE") {
            person.push_back({0, textRow(QStringLiteral("Position"), decodeValue(line, line.value))});
        } else if (name == "ROLE") {
            person.push_back({1, textRow(QStringLiteral("Rolle"), decodeValue(line, line.value))});
        } else if (name == "ORG") {
            QStringList departments;
            const QList<QByteArrayView> parts = splitUnescaped(line.value, ';');
            for (qsizetype k = 1; k < parts.size(); ++k) {
                const QString part = decodeValue(line, parts[k]).trimmed();
                if (!part.isEmpty()) {
                    departments << part;
                }
            }
            if (!departments.isEmpty()) {
                person.push_back(
                    {2, textRow(QStringLiteral("Abteilung"), departments.join(QStringLiteral(", ")))});
            }
        } else if (name == "NICKNAME" || name == "CATEGORIES") {
            // Both are lists: "A,B" is shown "A, B".
            QStringList items;
            for (const QByteArrayView part : splitUnescaped(line.value, ',')) {
                const QString text = decodeValue(line, part).trimmed();
                if (!text.isEmpty()) {
                    items << text;
                }
            }
            const bool nickname = name == "NICKNAME";
            person.push_back({nickname ? 3 : 4,
                              textRow(nickname ? QStringLiteral("Spitzname") : QStringLiteral("Kategorien"),
                                      items.join(QStringLiteral(", ")))});
        } else if (name == "URL") {
            person.push_back(
                {5, textRow(label.value_or(QStringLiteral("Webseite")), decodeValue(line, line.value))});
        } else if (name == "IMPP" || messengerService(name)) {
            person.push_back({6, textRow(label.value_or(QStringLiteral("Messenger")), messengerValue(line))});
        } else if (name == "RELATED" || name == "X-ABRELATEDNAMES") {
            person.push_back(
                {7, textRow(label.value_or(QStringLiteral("Beziehung")), decodeValue(line, line.value))});
        } else if (name == "PHOTO") {
            photoRows.append(photoRow(line, decodePhotos));
        }
    }
    std::stable_sort(person.begin(), person.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [kind, row] : person) {
        personRows.append(std::move(row));
    }
    QList<CardRow> rows;
    for (QList<CardRow>* group :
         {&telephoneRows, &emailRows, &addressRows, &dateRows, &personRows, &photoRows}) {
        // One by one: appending a whole list to an empty one trips the sanitizer inside Qt 6.4.
        for (CardRow& row : *group) {
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

QImage previewPhoto(const QByteArray& photo) {
    return decodePhotoBytes(photo, QSize(PhotoPreviewWidth, PhotoPreviewHeight));
}

QImage fullPhoto(const CardRow& row) {
    const QImage image = decodePhotoBytes(row.photo, QSize());
    return image.isNull() ? row.image : image;
}
