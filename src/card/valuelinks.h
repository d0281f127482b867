#pragma once

#include "contacts/fields.h"

#include <QString>
#include <QUrl>
#include <cstdint>
#include <optional>

namespace tovanel {

// What a shown value is, as far as the desktop has a program for it. A place is a "geo:" address.
enum class ValueKind : std::uint8_t { Text, Telephone, Email, WebAddress, PostalAddress, Place };

// An action the desktop's handler carries out for a value: its German caption and the URL handed over.
struct ValueLink {
    QString caption;
    QUrl url;
    friend bool operator==(const ValueLink&, const ValueLink&) = default;
};

ValueKind fieldValueKind(Field field);

// The map page that searches for a postal address, written in lines as the detail rows show it.
inline constexpr char AddressMapPage[] = "https://www.openstreetmap.org/search";

// The link a value of `kind` offers, if any. Only calls, mails, web pages (http and https) and map
// places (geo:) are offered; a card's value with any other scheme (file:, javascript:, a custom one) is
// only text, because a desktop handler would open or run whatever it names. A postal address has no
// scheme a desktop understands everywhere: it is searched for on AddressMapPage, and only then sent.
std::optional<ValueLink> valueLink(ValueKind kind, const QString& value);

} // namespace tovanel
