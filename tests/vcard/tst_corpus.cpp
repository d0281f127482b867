// Real-world vCard files exported by many programs: every one must import without a crash or a hang,
// with one row per card and no garbled or undecoded text.
#include "card/contactrows.h"
#include "corpus.h"
#include "importedlists.h"
#include "vcard/importmessages.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace tovanel;

namespace {

QList<QByteArray> physicalLines(QByteArray bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        bytes.remove(0, 3);
    }
    bytes.replace("\r\n", "\n");
    bytes.replace('\r', '\n');
    return bytes.split('\n');
}

QByteArray propertyName(const QByteArray& line) {
    qsizetype end = 0;
    while (end < line.size() && line[end] != ';' && line[end] != ':') {
        ++end;
    }
    const QByteArray name = line.left(end);
    return name.mid(name.lastIndexOf('.') + 1).toUpper();
}

bool startsWithBlank(const QByteArray& line) {
    return line.startsWith(' ') || line.startsWith('\t');
}

// What the file should give, counted without the importer: one card per "BEGIN" line (any case, any group,
// not a continuation line), up to an "END" line outside a card.
struct Expectation {
    int cards = 0;
    // Per card: the raw values of its TEL, EMAIL, NOTE and ORG lines, unfolded, with the line's key.
    QList<QList<QPair<QByteArray, QByteArray>>> reachable;
    bool strayEnd = false;
    // Per card: it has an N with a family, given or additional name, an ORG or an EMAIL, so it has a name.
    QList<bool> namable;
};

// Whether a line gives a card a name: the raw value, split as the importer does, holds text where it counts.
bool givesName(const QByteArray& name, const QByteArray& line) {
    const QByteArray value = line.mid(line.indexOf(':') + 1);
    const QList<QByteArray> parts = value.split(';');
    const auto text = [&](int index) {
        return index < parts.size() && !parts[index].trimmed().replace(',', "").replace('\\', "").isEmpty();
    };
    if (name == "N") {
        return text(0) || text(1) || text(2);
    }
    return (name == "ORG" || name == "EMAIL") && text(0);
}

Expectation countCards(const QByteArray& bytes) {
    Expectation e;
    bool inCard = false;
    const QList<QByteArray> lines = physicalLines(bytes);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        if (startsWithBlank(line)) {
            continue;
        }
        const QByteArray name = propertyName(line);
        if (name == "BEGIN") {
            ++e.cards;
            e.namable << false;
            inCard = true;
        } else if (inCard && givesName(name, line)) {
            e.namable.last() = true;
        }
        if (inCard && (name == "TEL" || name == "EMAIL" || name == "NOTE" || name == "ORG")) {
            QByteArray whole = line;
            const bool quotedPrintable = line.toUpper().contains("QUOTED-PRINTABLE");
            for (qsizetype k = i + 1; k < lines.size(); ++k) {
                if (quotedPrintable && whole.endsWith('=')) {
                    whole.chop(1);
                    whole += lines[k];
                } else if (startsWithBlank(lines[k])) {
                    whole += lines[k].mid(1);
                } else {
                    break;
                }
            }
            const qsizetype colon = whole.indexOf(':');
            e.reachable.resize(e.cards);
            e.reachable.last() << qMakePair(whole.left(std::max<qsizetype>(colon, 0)), whole.mid(colon + 1));
        } else if (name == "END") {
            if (!inCard) {
                e.strayEnd = true;
                break;
            }
            inCard = false;
        }
    }
    return e;
}

// The text of every line that is not part of a quoted-printable value: an "=XX" found there may stand in a
// cell as it is.
QByteArray textOutsideQuotedPrintable(const QByteArray& bytes) {
    QByteArray plain;
    bool continuing = false;
    for (const QByteArray& line : physicalLines(bytes)) {
        const qsizetype colon = line.indexOf(':');
        const bool declares =
            !continuing && !startsWithBlank(line) &&
            line.left(colon < 0 ? line.size() : colon).toUpper().contains("QUOTED-PRINTABLE");
        const bool quotedPrintable = continuing || declares;
        if (!quotedPrintable) {
            plain += line + '\n';
        }
        continuing = quotedPrintable && line.endsWith('=');
    }
    return plain;
}

// The digits of a number as a row may show it: "+49 (0)89" and "089" alike.
QString numberKey(QString number) {
    number.remove(QRegularExpression(QStringLiteral("[^0-9+]")));
    if (number.startsWith(QLatin1String("+49"))) {
        number = number.mid(3);
    }
    while (number.startsWith(QLatin1Char('0'))) {
        number.remove(0, 1);
    }
    return number;
}

// Whether a NOTE or ORG line reaches the rows: its text is decoded by rules not repeated here, so the first
// word of each part stands for the part, found as a whole word in some row.
bool wordsReach(const QByteArray& key, const QByteArray& raw, const QList<CardRow>& rows) {
    if (key.toUpper().contains("ENCODING=B") || key.toUpper().contains("BASE64")) {
        return true;
    }
    const QList<QByteArray> parts = propertyName(key) == "ORG" ? raw.split(';') : QList<QByteArray>{raw};
    static const QRegularExpression escape(QStringLiteral(R"(\\.)"));
    static const QRegularExpression word(QStringLiteral("[A-Za-z0-9]{3,}"));
    for (QByteArray part : parts) {
        if (key.toUpper().contains("QUOTED-PRINTABLE")) {
            part = QByteArray::fromPercentEncoding(part, '=');
        }
        const QRegularExpressionMatch found =
            word.match(QString::fromLatin1(part).replace(escape, QStringLiteral(" ")));
        if (!found.hasMatch()) {
            continue;
        }
        const QRegularExpression whole(QStringLiteral(R"(\b%1\b)").arg(found.captured()));
        if (std::none_of(rows.begin(), rows.end(),
                         [&](const CardRow& r) { return r.value.contains(whole); })) {
            return false;
        }
    }
    return true;
}

// Whether a TEL or EMAIL line's value is the value of one of the rows, and a NOTE's or ORG's words are.
bool reaches(const QByteArray& key, const QByteArray& raw, const QList<CardRow>& rows) {
    if (propertyName(key) == "NOTE" || propertyName(key) == "ORG") {
        return wordsReach(key, raw, rows);
    }
    qsizetype end = 0;
    while (end < raw.size() && raw[end] != ';') {
        end += raw[end] == '\\' ? 2 : 1;
    }
    QByteArray value = raw.left(end).trimmed().replace("\\;", ";");
    if (key.toUpper().contains("QUOTED-PRINTABLE")) {
        value = QByteArray::fromPercentEncoding(value, '=');
    }
    QString text = QString::fromUtf8(value).replace(QStringLiteral("\\,"), QStringLiteral(","));
    if (propertyName(key) == "TEL") {
        text.remove(QRegularExpression(QStringLiteral("^tel:"), QRegularExpression::CaseInsensitiveOption));
        const QString wanted = numberKey(text);
        return std::any_of(rows.begin(), rows.end(), [&](const CardRow& r) {
            return !r.value.isEmpty() && numberKey(r.value) == wanted;
        });
    }
    return std::any_of(rows.begin(), rows.end(), [&](const CardRow& r) { return r.value.trimmed() == text; });
}

// Across the whole corpus: TEL, EMAIL, NOTE and ORG lines, and how many reach a row of the detail window.
struct Reach {
    int telephones = 0;
    int telephonesShown = 0;
    int emails = 0;
    int emailsShown = 0;
    int others = 0;
    int othersShown = 0;
} reach;

} // namespace

class tst_Corpus : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Corpus::announce(); }
    void importsEveryFileCleanly_data();
    void importsEveryFileCleanly();
    void cleanupTestCase();
};

void tst_Corpus::cleanupTestCase() {
    if (reach.telephones + reach.emails > 0) {
        qInfo("detail rows: %d of %d TEL lines, %d of %d EMAIL lines, %d of %d NOTE and ORG lines",
              reach.telephonesShown, reach.telephones, reach.emailsShown, reach.emails, reach.othersShown,
              reach.others);
    }
}

void tst_Corpus::importsEveryFileCleanly_data() {
    QTest::addColumn<QString>("path");
    Corpus::addRows();
}

void tst_Corpus::importsEveryFileCleanly() {
    QFETCH(QString, path);
    if (path.isEmpty()) {
        QSKIP(qPrintable(Corpus::offReason()));
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const Expectation expected = countCards(bytes);

    const ImportedLists lists(path);
    const ContactListModel& contactModel = lists.contacts;
    const ContactListModel& addressModel = lists.addresses;

    QCOMPARE(contactModel.rowCount(), expected.cards);
    QCOMPARE(addressModel.rowCount(), expected.cards);
    QCOMPARE(lists.result.status,
             expected.strayEnd ? VcardReadResult::Status::StrayEnd : VcardReadResult::Status::ReadToEnd);
    const QStringList messages = lists.messages();
    if (expected.strayEnd) {
        QCOMPARE(messages, QStringList{ImportMessages::strayEnd()});
    } else if (expected.cards == 0) {
        QCOMPARE(messages, QStringList{ImportMessages::nothingImported()});
    } else {
        QCOMPARE(messages, QStringList());
    }

    for (int row = 0; row < contactModel.rowCount(); ++row) {
        if (expected.namable.value(row)) {
            QVERIFY2(!contactModel.cell(row, ContactColumn::Name).trimmed().isEmpty(),
                     qPrintable(QStringLiteral("row %1 has N, ORG or EMAIL but no name").arg(row)));
        }
    }

    // Every number, e-mail address, note and company of a card is in one of its detail rows.
    for (int row = 0; row < contactModel.rowCount() && row < expected.reachable.size(); ++row) {
        const QList<CardRow> rows =
            contactRows(contactOf(contactModel.sharedTable(), contactModel.contactAt(row)));
        for (const auto& [key, value] : expected.reachable[row]) {
            const QByteArray name = propertyName(key);
            const bool shown = reaches(key, value, rows);
            int& lines = name == "TEL" ? reach.telephones : name == "EMAIL" ? reach.emails : reach.others;
            int& linesShown = name == "TEL"     ? reach.telephonesShown
                              : name == "EMAIL" ? reach.emailsShown
                                                : reach.othersShown;
            lines += 1;
            linesShown += shown ? 1 : 0;
            QVERIFY2(shown, qPrintable(QStringLiteral("card %1: %2:%3 is in no detail row")
                                           .arg(row + 1)
                                           .arg(QString::fromUtf8(key), QString::fromUtf8(value))));
        }
    }

    // Source end positions lie inside the file and grow with the cards.
    qint64 previous = 0;
    for (int row = 0; row < contactModel.rowCount(); ++row) {
        const QString pos = contactModel.cell(row, ContactColumn::EndPosition);
        if (pos.isEmpty()) {
            continue;
        }
        const qint64 end = pos.toLongLong();
        QVERIFY2(end > previous && end <= bytes.size(),
                 qPrintable(QStringLiteral("row %1: Pos %2").arg(row).arg(pos)));
        previous = end;
    }

    // No replacement characters and no quoted-printable left undecoded, unless the file itself says so.
    const bool binary = bytes.contains('\0');
    const QByteArray plain = textOutsideQuotedPrintable(bytes);
    static const QRegularExpression escape(QStringLiteral("=[0-9A-Fa-f]{2}"));
    for (int row = 0; row < contactModel.rowCount(); ++row) {
        for (int column = 1; column < ContactListModel::ColumnCount; ++column) {
            for (const ContactListModel* list : {&contactModel, &addressModel}) {
                const QString cell = list->cell(row, column);
                const QString where =
                    QStringLiteral("%1 row %2 column %3: %4")
                        .arg(list == &contactModel ? QStringLiteral("Adressen") : QStringLiteral("adrData"))
                        .arg(row)
                        .arg(column)
                        .arg(cell);
                if (!binary && !bytes.contains("\xEF\xBF\xBD")) {
                    QVERIFY2(!cell.contains(QChar::ReplacementCharacter), qPrintable(where));
                }
                for (const QRegularExpressionMatch& m : escape.globalMatch(cell)) {
                    const QByteArray seen = m.captured().toLatin1();
                    const bool literal = plain.contains(seen) || bytes.contains("=3D" + seen.mid(1)) ||
                                         bytes.contains("=3d" + seen.mid(1));
                    QVERIFY2(literal,
                             qPrintable(QStringLiteral("undecoded %1 in %2").arg(m.captured(), where)));
                }
            }
        }
    }
}

QTEST_GUILESS_MAIN(tst_Corpus)
#include "tst_corpus.moc"
