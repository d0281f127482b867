#include "card/cardlabels.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tovanel {

namespace CardLabels {

namespace {

// The people a card names beside its owner, by the English word Apple's labels, vCard 4's RELATED types and
// the other exporters use. German has no one word for both sexes here; the labels say both.
constexpr std::array<std::pair<const char*, const char*>, 31> Relations{{
    {"spouse", "Ehepartner(in)"},
    {"partner", "Partner(in)"},
    {"domestic partner", "Partner(in)"},
    {"child", "Kind"},
    {"son", "Sohn"},
    {"daughter", "Tochter"},
    {"parent", "Elternteil"},
    {"mother", "Mutter"},
    {"father", "Vater"},
    {"sibling", "Geschwister"},
    {"brother", "Bruder"},
    {"sister", "Schwester"},
    {"kin", "Verwandte(r)"},
    {"relative", "Verwandte(r)"},
    {"friend", "Freund(in)"},
    {"manager", "Vorgesetzte(r)"},
    {"assistant", "Assistent(in)"},
    {"co-worker", "Kollege/Kollegin"},
    {"colleague", "Kollege/Kollegin"},
    {"acquaintance", "Bekannte(r)"},
    {"contact", "Kontakt"},
    {"co-resident", "Mitbewohner(in)"},
    {"neighbor", "Nachbar(in)"},
    {"sweetheart", "Liebste(r)"},
    {"crush", "Schwarm"},
    {"date", "Verabredung"},
    {"muse", "Muse"},
    {"met", "Begegnung"},
    {"agent", "Vertreter(in)"},
    {"emergency", "Notfallkontakt"},
    {"referred-by", "Empfohlen von"},
}};

// Exporters join the words of one relation by "-", "_" or a blank ("co-worker", "DOMESTIC_PARTNER").
QString joinedWords(QString word) {
    for (QChar& c : word) {
        if (c == QLatin1Char('_') || c == QLatin1Char('-')) {
            c = QLatin1Char(' ');
        }
    }
    return word.trimmed();
}

std::optional<QString> relationWord(const QString& word) {
    const QString words = joinedWords(word);
    for (const auto& [english, german] : Relations) {
        if (words.compare(joinedWords(QString::fromLatin1(english)), Qt::CaseInsensitive) == 0) {
            return QString::fromUtf8(german);
        }
    }
    return std::nullopt;
}

} // namespace

QString appleLabel(const QString& label) {
    static const std::array<std::pair<const char*, const char*>, 22> builtIn{{
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
    }};
    // Older Address Book versions write the built-in names without the "_$!<" and ">!$_" around them.
    const bool wrapped = label.startsWith(QLatin1String("_$!<")) && label.endsWith(QLatin1String(">!$_"));
    const QString inner = wrapped ? label.mid(4, label.size() - 8) : label;
    for (const auto& [english, german] : builtIn) {
        if (inner == QLatin1String(english)) {
            return QString::fromUtf8(german);
        }
    }
    // Google writes the relations without the brackets and in its own case ("Friend", "DOMESTIC_PARTNER").
    return relationWord(inner).value_or(inner);
}

QString relation(const QList<QByteArray>& types) {
    for (const QByteArray& type : types) {
        if (const std::optional<QString> label = relationWord(QString::fromUtf8(type))) {
            return *label;
        }
    }
    return QStringLiteral("Beziehung");
}

std::optional<QString> relationProperty(const QByteArray& name) {
    static const std::array<std::pair<const char*, const char*>, 12> properties{{
        {"X-MS-MANAGER", "manager"},
        {"X-MS-ASSISTANT", "assistant"},
        {"X-MS-SPOUSE", "partner"},
        {"X-MANAGER", "manager"},
        {"X-ASSISTANT", "assistant"},
        {"X-SPOUSE", "partner"},
        {"X-EVOLUTION-MANAGER", "manager"},
        {"X-EVOLUTION-ASSISTANT", "assistant"},
        {"X-EVOLUTION-SPOUSE", "partner"},
        {"X-KADDRESSBOOK-X-MANAGERSNAME", "manager"},
        {"X-KADDRESSBOOK-X-ASSISTANTSNAME", "assistant"},
        {"X-KADDRESSBOOK-X-SPOUSESNAME", "partner"},
    }};
    for (const auto& [property, word] : properties) {
        if (name == property) {
            return relationWord(QString::fromLatin1(word));
        }
    }
    return std::nullopt;
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
