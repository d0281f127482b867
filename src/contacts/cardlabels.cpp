#include "cardlabels.h"

#include <array>
#include <utility>

namespace CardLabels {

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

QString telephone(const PropertyLexer::Parameters& parameters) {
    if (parameters.fax) {
        return parameters.home   ? QStringLiteral("Fax-Privat")
               : parameters.work ? QStringLiteral("Fax-Arbeit")
                                 : QStringLiteral("Fax");
    }
    if (parameters.pager) {
        return QStringLiteral("Pager");
    }
    if (parameters.cell) {
        return QStringLiteral("Tel-Mobil");
    }
    if (parameters.home) {
        return QStringLiteral("Tel-Privat");
    }
    if (parameters.work) {
        return QStringLiteral("Tel-Arbeit");
    }
    return QStringLiteral("Telefon");
}

QString email(const PropertyLexer::Parameters& parameters) {
    return parameters.home   ? QStringLiteral("e-mail privat")
           : parameters.work ? QStringLiteral("e-mail Arbeit")
                             : QStringLiteral("e-mail");
}

QString address(const PropertyLexer::Parameters& parameters) {
    return parameters.work   ? QStringLiteral("Adr.Arbeit")
           : parameters.home ? QStringLiteral("Adr.Privat")
                             : QStringLiteral("Adresse");
}

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

} // namespace CardLabels
