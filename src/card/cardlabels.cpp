#include "card/cardlabels.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tovanel {

namespace CardLabels {

QString appleLabel(const QString& label) {
    static const std::array<std::pair<const char*, const char*>, 35> builtIn{{
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
        {"AssistantPhone", "Assistent"},
        {"CompanyMain", "Firma"},
        {"Callback", "Rückruf"},
        {"Telex", "Telex"},
        {"TTY", "Texttelefon"},
        {"ISDN", "ISDN"},
        {"Sibling", "Geschwister"},
        {"Daughter", "Tochter"},
    }};
    // Older Address Book versions write the built-in names without the "_$!<" and ">!$_" around them.
    const bool wrapped = label.startsWith(QLatin1String("_$!<")) && label.endsWith(QLatin1String(">!$_"));
    const QString inner = wrapped ? label.mid(4, label.size() - 8) : label;
    for (const auto& [english, german] : builtIn) {
        if (inner == QLatin1String(english)) {
            return QString::fromUtf8(german);
        }
    }
    return inner;
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

QString address(const PropertyLexer::Parameters& parameters, const QList<QByteArray>& types) {
    if (parameters.work) {
        return QStringLiteral("Adr.Arbeit");
    }
    if (parameters.home) {
        return QStringLiteral("Adr.Privat");
    }
    const auto has = [&types](const char* kind) {
        return std::any_of(types.begin(), types.end(), [kind](const QByteArray& type) {
            return type.compare(kind, Qt::CaseInsensitive) == 0;
        });
    };
    if (has("postal") || has("parcel")) {
        return QStringLiteral("Adr.Post");
    }
    if (has("other")) {
        return QStringLiteral("Adr.Andere");
    }
    return QStringLiteral("Adresse");
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

std::optional<QString> messengerScheme(const QString& scheme) {
    static const std::array<std::pair<const char*, const char*>, 10> schemes{{
        {"aim", "AIM"},
        {"icq", "ICQ"},
        {"xmpp", "Jabber"},
        {"msnim", "MSN"},
        {"ymsgr", "Yahoo"},
        {"skype", "Skype"},
        {"gtalk", "Google Talk"},
        {"qq", "QQ"},
        {"gg", "Gadu-Gadu"},
        {"sip", "SIP"},
    }};
    for (const auto& [prefix, service] : schemes) {
        if (scheme.compare(QLatin1String(prefix), Qt::CaseInsensitive) == 0) {
            return QString::fromUtf8(service);
        }
    }
    return std::nullopt;
}

} // namespace CardLabels

} // namespace tovanel
