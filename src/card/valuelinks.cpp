#include "card/valuelinks.h"

#include <QRegularExpression>
#include <QStringList>

namespace tovanel {

namespace {

std::optional<ValueLink> telephoneLink(const QString& value) {
    // Numbers are shown as the card writes them, with spaces, slashes and brackets; a dialler wants the
    // digits. Letters mean it is no number a phone can dial.
    static const QRegularExpression number(QStringLiteral("^\\+?[0-9 ()./\\-]*[0-9][0-9 ()./\\-]*$"));
    const QString trimmed = value.trimmed();
    if (!number.match(trimmed).hasMatch()) {
        return std::nullopt;
    }
    QString digits;
    for (const QChar c : trimmed) {
        if (c.isDigit() || c == QLatin1Char('+')) {
            digits += c;
        }
    }
    return ValueLink{QStringLiteral("Anrufen"), QUrl(QStringLiteral("tel:") + digits)};
}

std::optional<ValueLink> emailLink(const QString& value) {
    // No query or second address may ride along: "?attach=" makes some mail programs attach a local file.
    static const QRegularExpression address(
        QStringLiteral("^[^\\s@?&#/\\\\:<>\"',;]+@[^\\s@?&#/\\\\:<>\"',;]+$"));
    const QString trimmed = value.trimmed();
    if (!address.match(trimmed).hasMatch()) {
        return std::nullopt;
    }
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    url.setPath(trimmed);
    return ValueLink{QStringLiteral("E-Mail schreiben"), url};
}

std::optional<ValueLink> placeLink(const QString& value) {
    static const QRegularExpression place(
        QStringLiteral("^geo:-?[0-9]{1,3}(\\.[0-9]+)?,-?[0-9]{1,3}(\\.[0-9]+)?(,-?[0-9]+(\\.[0-9]+)?)?"
                       "(;[A-Za-z0-9=.\\-]*)*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QString trimmed = value.trimmed();
    if (!place.match(trimmed).hasMatch()) {
        return std::nullopt;
    }
    return ValueLink{QStringLiteral("Karte öffnen"), QUrl(trimmed, QUrl::StrictMode)};
}

std::optional<ValueLink> addressLink(const QString& value) {
    QStringList parts;
    for (const QString& line : value.split(QLatin1Char('\n'))) {
        if (const QString part = line.trimmed(); !part.isEmpty()) {
            parts << part;
        }
    }
    if (parts.isEmpty()) {
        return std::nullopt;
    }
    // Every character but the unreserved ones is escaped, so that no "&", "#" or "+" of an address
    // changes what the page is asked.
    QUrl url(QString::fromLatin1(AddressMapPage));
    url.setQuery(QStringLiteral("query=") +
                     QString::fromLatin1(QUrl::toPercentEncoding(parts.join(QStringLiteral(", ")))),
                 QUrl::StrictMode);
    return ValueLink{QStringLiteral("Karte öffnen"), url};
}

std::optional<ValueLink> webLink(const QString& value) {
    const QString trimmed = value.trimmed();
    if (trimmed.startsWith(QStringLiteral("geo:"), Qt::CaseInsensitive)) {
        return placeLink(trimmed);
    }
    // Many cards write a web address without its scheme.
    const bool bare = trimmed.startsWith(QStringLiteral("www."), Qt::CaseInsensitive);
    const QUrl url(bare ? QStringLiteral("http://") + trimmed : trimmed, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    // "https://www.bank.de@evil.example/" reads as the bank's address and goes to evil.example: an
    // address with a user name before its host is offered as text only.
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty() ||
        (scheme != QStringLiteral("http") && scheme != QStringLiteral("https"))) {
        return std::nullopt;
    }
    return ValueLink{QStringLiteral("Webseite öffnen"), url};
}

} // namespace

ValueKind fieldValueKind(Field field) {
    switch (field) {
    case Field::MobilePhone:
    case Field::HomePhone:
    case Field::WorkPhone:
        return ValueKind::Telephone;
    case Field::Email:
        return ValueKind::Email;
    case Field::HomeStreet:
    case Field::HomePostalCode:
    case Field::HomeCity:
    case Field::WorkStreet:
    case Field::WorkPostalCode:
    case Field::WorkCity:
        return ValueKind::PostalAddress;
    default:
        return ValueKind::Text;
    }
}

std::optional<ValueLink> valueLink(ValueKind kind, const QString& value) {
    switch (kind) {
    case ValueKind::Telephone:
        return telephoneLink(value);
    case ValueKind::Email:
        return emailLink(value);
    case ValueKind::WebAddress:
        return webLink(value);
    case ValueKind::PostalAddress:
        return addressLink(value);
    case ValueKind::Place:
        return placeLink(value);
    case ValueKind::Text:
        break;
    }
    return std::nullopt;
}

} // namespace tovanel
