#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>

namespace tovanel {

enum class VcardVersion { V21, V30, V40 };

// What writing cards anew changed, summed over an export, for the one message after it.
struct CardRewrites {
    qsizetype cards = 0;
    qsizetype charsets = 0; // cards with values in another charset or quoted-printable, now UTF-8
    qsizetype photos = 0;   // pictures and sounds whose encoding the version writes otherwise
    qsizetype names = 0;    // cards that lacked FN or N
    qsizetype uids = 0;     // cards that lacked a UID, or had one an earlier card of the export had
    qsizetype renamed = 0;  // properties the version has no name for, written as the extension peers use
    qsizetype merged = 0;   // a second N or UID of one card, which readers refuse
    qsizetype dropped = 0;  // lines without a property name a version could write, empty photos

    CardRewrites& operator+=(const CardRewrites& other);
    // The changes in German, each with its number ("12 Fotos umgeschrieben"), in a fixed order.
    QStringList described() const;
};

// A card written anew in `version` from what the import reads of its bytes (`card` as readCardBytes gives
// them; `unicodeSource`: a UTF-16 file's, converted): every property kept, each value decoded as the
// detail window shows it and written in UTF-8 with the version's escapes, types and encodings (vCard 2.1
// quoted-printable where a value is not ASCII); FN is `shownName`, N the card's last one (or made from
// `shownName`), the UID kept or derived from `uidSource` (and from how many cards before claimed that
// one), so that the same export gives the same UIDs;
// lines folded at 75 octets, CR LF, no blank lines.
// `claimUid`, where given, is asked for each UID the card is to carry and says whether no earlier card of the
// export carries it: servers refuse a second card of one UID, so such a card gets a derived one too.
using ClaimUid = std::function<bool(QStringView uid)>;
QByteArray versionedCard(const QByteArray& card, bool unicodeSource, const QString& shownName,
                         VcardVersion version, QByteArrayView uidSource, CardRewrites& rewrites,
                         const ClaimUid& claimUid = {});

// N's value made from a shown name that has no parts: "Müller, Jürgen" and "Jürgen Müller" both give
// "Müller;Jürgen;;;", escaped.
QByteArray structuredName(const QString& name);

} // namespace tovanel
