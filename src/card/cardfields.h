#pragma once

#include "contacts/carddate.h"
#include "vcard/cardsource.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace tovanel {

class ContactTable;

// A shown name cut into family and given name, for a card that has no name of parts: "Müller, Jürgen"
// and "Jürgen Müller" both give Müller and Jürgen; one word is the family name.
struct ShownNameParts {
    QString family;
    QString given;
};
ShownNameParts shownNameParts(const QString& shownName);

struct CardTelephone {
    QString shown;   // as the list shows numbers (a "+49" number in national form)
    QString written; // as the card writes it: the international form kept for a phone abroad
    bool mobile = false;
    bool home = false;
    bool work = false;
    bool fax = false;
    bool pager = false;
    bool car = false;
    bool isdn = false;
    bool preferred = false;
};

struct CardEmail {
    QString address;
    bool home = false;
    bool work = false;
    bool preferred = false;
};

// ADR's seven parts in their order.
struct CardAddress {
    QString poBox;
    QString extended;
    QString street;
    QString city;
    QString region;
    QString postalCode;
    QString country;
    bool home = false;
    bool work = false;
    bool preferred = false;
};

struct CardWebPage {
    QString address;
    bool home = false;
    bool work = false;
};

// A birthday as a date; `year` 0 when the card gives none.
// One contact's card read into the fields an address book's import takes: what the other programs'
// files have columns for. Texts are decoded and trimmed; empty values are left out.
struct CardFields {
    // N's parts; a card without a name of parts gets family and given name from the shown name.
    QString family;
    QString given;
    QString additional;
    QString prefix;
    QString suffix;
    QString nickname;
    QString organization;
    QString department;
    QString title;
    std::optional<CardDate> birthday;
    QStringList notes;
    QStringList categories;
    QList<CardTelephone> telephones;
    QList<CardEmail> emails;
    QList<CardAddress> addresses;
    QList<CardWebPage> webPages;
};

// The fields of a card's bytes (readCardBytes' or CardBytesReader's); `shownName` (the list's Name cell)
// names a card without N.
CardFields cardFields(const QByteArray& bytes, bool unicodeSource, const QString& shownName);
// The fields of a contact whose card cannot be read: its cells, with the bold number preferred.
CardFields cellFields(const ContactTable& table, qsizetype contact);

// The fields of many contacts in a row, each from its card where it can be read now and else from its
// cells; those are counted.
class ContactFieldsReader final {
public:
    CardFields fields(const ContactTable& table, qsizetype contact);
    // Contacts of a file whose card could not be read (the file changed since, the card too large).
    qint64 unread() const { return m_unread; }

private:
    CardBytesReader m_reader;
    qint64 m_unread = 0;
};

} // namespace tovanel
