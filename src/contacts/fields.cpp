#include "contacts/fields.h"

namespace tovanel {

QString fieldCaption(Field field) {
    switch (field) {
    case Field::Name:
        return QStringLiteral("Name");
    case Field::Company:
        return QStringLiteral("Firma");
    case Field::MobilePhone:
        return QStringLiteral("Tel-Mobil");
    case Field::HomePhone:
        return QStringLiteral("Tel-Privat");
    case Field::WorkPhone:
        return QStringLiteral("Tel-Arbeit");
    case Field::Email:
        return QStringLiteral("e-mail");
    case Field::HomeStreet:
        return QStringLiteral("Adresse");
    case Field::HomePostalCode:
    case Field::WorkPostalCode:
        return QStringLiteral("PLZ");
    case Field::HomeCity:
    case Field::WorkCity:
        return QStringLiteral("Ort");
    case Field::WorkStreet:
        return QStringLiteral("Adr.Arbeit");
    case Field::Note:
        return QStringLiteral("Notizen");
    case Field::Uid:
        return QStringLiteral("UID");
    case Field::Title:
        return QStringLiteral("Position");
    case Field::Department:
        return QStringLiteral("Abteilung");
    case Field::HomeCountry:
    case Field::WorkCountry:
        return QStringLiteral("Land");
    case Field::OtherPhones:
        return QStringLiteral("Alle Telefonnummern");
    case Field::OtherEmails:
        return QStringLiteral("Alle E-Mail-Adressen");
    case Field::Members:
        return QStringLiteral("Gruppen");
    case Field::FamilyFirst:
        return QStringLiteral("Name");
    case Field::BirthdayText:
        return QStringLiteral("Geburtstag");
    }
    return {};
}

} // namespace tovanel
