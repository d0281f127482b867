#pragma once

#include "vcard/propertyline.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace tovanel {

// The German labels of a card's further rows, where the card gives none of its own.
namespace CardLabels {

// An Apple label in German: the built-in ones such as "_$!<HomeFax>!$_" and the relations ("_$!<Mother>!$_")
// by a table, others as they stand.
QString appleLabel(const QString& label);
// The label of a vCard 4 RELATED line by its first type that names a relation, else "Beziehung".
QString relation(const QList<QByteArray>& types);
// The label of a property that names one other person (Outlook's "X-MS-MANAGER", Evolution's
// "X-EVOLUTION-SPOUSE" …), or nothing.
std::optional<QString> relationProperty(const QByteArray& name);
// The label of a telephone number that no fixed cell shows, by its types.
QString telephone(const PropertyLexer::Parameters& parameters);
// The label of an e-mail address or address that no fixed cell shows, by its types.
QString email(const PropertyLexer::Parameters& parameters);
// `types`: all of an address's types, where "postal" and "other" have labels of their own.
QString address(const PropertyLexer::Parameters& parameters, const QList<QByteArray>& types);
// The service of a messenger property of the usual exporters ("X-AIM": "AIM"), or nothing.
std::optional<QString> messengerService(const QByteArray& name);
// The service an IMPP address's scheme names ("aim": "AIM"), or nothing for schemes of no one service.
std::optional<QString> messengerScheme(const QString& scheme);

} // namespace CardLabels

} // namespace tovanel
