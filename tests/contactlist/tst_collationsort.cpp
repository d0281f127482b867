#include "contactlist/collationsort.h"

#include <QCollator>
#include <QLocale>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <numeric>

using namespace tovanel;

// The fast collation sort must give exactly the order of a stable sort by collator sort keys, which is
// what the list showed before it existed.
class TestCollationSort : public QObject {
    Q_OBJECT

private slots:
    void sortsLikeCollatorSortKeys_data();
    void sortsLikeCollatorSortKeys();
};

namespace {

QCollator germanCollator() {
    QCollator collator{QLocale(QLocale::German, QLocale::Germany)};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

std::vector<std::uint32_t> referenceOrder(std::vector<std::uint32_t> order, const QStringList& texts,
                                          const QCollator& collator, Qt::SortOrder sortOrder) {
    std::vector<QCollatorSortKey> keys;
    for (const QString& text : texts) {
        keys.push_back(collator.sortKey(text));
    }
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return sortOrder == Qt::AscendingOrder ? keys[a].compare(keys[b]) < 0 : keys[b].compare(keys[a]) < 0;
    });
    return order;
}

QStringList randomTexts(int count, const QString& alphabet, int maxLength) {
    QRandomGenerator random(20261207);
    QStringList texts;
    for (int i = 0; i < count; ++i) {
        QString text;
        const int length = int(random.bounded(maxLength + 1));
        for (int k = 0; k < length; ++k) {
            text.append(alphabet.at(int(random.bounded(int(alphabet.size())))));
        }
        texts.append(text);
    }
    return texts;
}

QStringList repeated(const QStringList& list, int times) {
    QStringList out;
    for (int i = 0; i < times; ++i) {
        out += list;
    }
    return out;
}

QStringList names(const char* list) {
    return QString::fromUtf8(list).split(QLatin1Char('|'));
}

} // namespace

void TestCollationSort::sortsLikeCollatorSortKeys_data() {
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("umlauts and their spellings")
        << names("Müller|Mueller|Muller|MÜLLER|müller|Mull|Mülle|Möller|"
                 "Moeller|Ärger|Arger|Aerger|Öl|Ol|Übel|Ubel|Zoë|Zoe");
    QTest::newRow("sharp s") << names("Straße|Strasse|Strase|STRASSE|Straßé|Strassa|Straßa|ß|ss|s|ßa|ssa|sß|"
                                      "Weiß|Weiss|Weis|Größ|Gross|Groß|Grosz");
    QTest::newRow("case and accents only")
        << names("élise|Elise|ÉLISE|Ëlise|elise|Élise|ELISE|Èlise|Êlise|a|A|á|Á|à|â|ä|Ä|å|ã");
    QTest::newRow("empty, blanks and ignorable") << names("|a| |  |\u0001|\u200b|\u00ad|x\u00ady|xy|\t|||a");
    QTest::newRow("difference past the prefix")
        << names("abcdefghijklmnopqrstuvwxyz|abcdefghijklmnopqrstuvwxyA|abcdefghijklmnopqrstuvwxyä|"
                 "abcdefghijklmnopqrsß|abcdefghijklmnopqrss|abcdefghijklmnopqrs|abcdefghijklmnopqrsÄ|"
                 "abcdefghijklmnopqrsä|abcdefghijklmnopqrs\u0301|abcdefghijklmnopqr\u0301|"
                 "Hans-Jürgen Müller-Lüdenscheidt|Hans-Jürgen Müller-Lüdenscheid|Hans-Jürgen Mueller");
    QTest::newRow("combining marks and letters of their own")
        << names("a\u0301|á|e\u0308|ë|Øre|Ore|Oere|Æsop|Aesop|Ðan|Dan|Þor|Thor|ﬁsch|fisch|Łukasz|Lukasz|"
                 "Œuvre|Oeuvre|ĳssel|ijssel|ẞ|SS");
    QTest::newRow("digits, punctuation, other scripts")
        << names("1|10|2|01|½|²|#|$|-|_|.|,|!|?|'|(|@|*|/|\\|&|%|`|^|+|<|=|>|||~|€|§|Жанна|日本|한국|😀|Ω");
    QTest::newRow("names with titles and particles")
        << names("Dr. Hans Müller|Hans Müller|hans müller|von Bülow|Von Bülow|de Maizière|d'Artagnan|"
                 "DArtagnan|van der Berg|Van der Berg|Müller, Hans|Müller Hans");
    QTest::newRow("mostly empty, among ignorables")
        << repeated(names("|||\u200b|a||\u0001|||Müller|\u00ad"), 100);
    QTest::newRow("many repeats") << repeated(names("Müller|Muller"), 300) +
                                         repeated(names("Mueller|Müllerin|Muller|MÜLLER"), 200);
    QTest::newRow("many distinct texts behind a common prefix")
        << randomTexts(3000, QString::fromUtf8("aäAÄbBsßS -'.1éÉøØ\u0301zZüÜ"), 8)
               .replaceInStrings(QRegularExpression(QStringLiteral("^")),
                                 QStringLiteral("Zahnarztpraxis Dr. Müller "));
    QTest::newRow("random from a mixed alphabet")
        << randomTexts(6000, QString::fromUtf8("aäAÄbBsßS -'.1éÉøØ\u0301zZüÜ"), 22);
    QTest::newRow("random short, many ties") << randomTexts(6000, QString::fromUtf8("aAäÄ ß"), 4);
}

void TestCollationSort::sortsLikeCollatorSortKeys() {
    QFETCH(QStringList, texts);
    const QCollator collator = germanCollator();
    std::vector<QStringView> views(texts.begin(), texts.end());
    // Start from a shuffled order, as after an earlier sort by another column.
    std::vector<std::uint32_t> start(texts.size());
    std::iota(start.begin(), start.end(), 0u);
    std::reverse(start.begin() + qsizetype(start.size() / 3), start.end());
    for (const Qt::SortOrder sortOrder : {Qt::AscendingOrder, Qt::DescendingOrder}) {
        std::vector<std::uint32_t> order = start;
        sortByCollation(order, views, collator, sortOrder);
        const std::vector<std::uint32_t> expected = referenceOrder(start, texts, collator, sortOrder);
        // Ranks made once sort alike.
        std::vector<std::uint32_t> byRank = start;
        sortByRank(byRank,
                   collationRanks(
                       views.size(), [&](std::uint32_t c) { return views[c]; }, collator),
                   sortOrder);
        for (size_t row = 0; row < order.size(); ++row) {
            QCOMPARE(texts.at(order[row]), texts.at(expected[row]));
            QCOMPARE(order[row], expected[row]);
            QCOMPARE(byRank[row], expected[row]);
        }
    }
}

QTEST_GUILESS_MAIN(TestCollationSort)
#include "tst_collationsort.moc"
