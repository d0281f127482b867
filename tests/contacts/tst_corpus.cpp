// Real-world vCard files exported by many programs: every one must import without a crash or a hang,
// with one row per card and no garbled or undecoded text.
#include "addresstablemodel.h"
#include "importmessages.h"
#include "vcardreader.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

namespace {

QString corpusDir() {
    return qEnvironmentVariable("TOVANEL_CORPUS");
}

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
    for (const QByteArray& line : physicalLines(bytes)) {
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

} // namespace

class tst_Corpus : public QObject {
    Q_OBJECT

private slots:
    void importsEveryFileCleanly_data();
    void importsEveryFileCleanly();
};

void tst_Corpus::importsEveryFileCleanly_data() {
    QTest::addColumn<QString>("path");
    const QString dir = corpusDir();
    if (dir.isEmpty() || !QDir(dir).exists()) {
        QSKIP(qPrintable(
            QStringLiteral("no vCard corpus at \"%1\" (TOVANEL_CORPUS): real-world files not checked")
                .arg(dir)));
    }
    QStringList files;
    QDirIterator it(dir, {QStringLiteral("*.vcf"), QStringLiteral("*.txt")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files << it.next();
    }
    files.sort();
    QVERIFY2(!files.isEmpty(), "the corpus folder holds no vCard files");
    for (const QString& file : std::as_const(files)) {
        QTest::newRow(qPrintable(QDir(dir).relativeFilePath(file))) << file;
    }
}

void tst_Corpus::importsEveryFileCleanly() {
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const Expectation expected = countCards(bytes);

    const VcardReadResult result = readVcardFile(path);
    AddressTableModel adressen(AddressTableModel::List::Adressen);
    AddressTableModel adrData(AddressTableModel::List::AdrData);
    adressen.setTable(result.table);
    adrData.setTable(result.table);

    QCOMPARE(adressen.rowCount(), expected.cards);
    QCOMPARE(adrData.rowCount(), expected.cards);
    QCOMPARE(result.status,
             expected.strayEnd ? VcardReadResult::Status::StrayEnd : VcardReadResult::Status::ReadToEnd);
    const QStringList messages = ImportMessages::forResult(result, path);
    if (expected.strayEnd) {
        QCOMPARE(messages, QStringList{ImportMessages::strayEnd()});
    } else if (expected.cards == 0) {
        QCOMPARE(messages, QStringList{ImportMessages::nothingImported()});
    } else {
        QCOMPARE(messages, QStringList());
    }

    for (int row = 0; row < adressen.rowCount(); ++row) {
        if (expected.namable.value(row)) {
            QVERIFY2(!adressen.cell(row, 1).trimmed().isEmpty(),
                     qPrintable(QStringLiteral("row %1 has N, ORG or EMAIL but no name").arg(row)));
        }
    }

    // Source end positions lie inside the file and grow with the cards.
    qint64 previous = 0;
    for (int row = 0; row < adressen.rowCount(); ++row) {
        const QString pos = adressen.cell(row, 7);
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
    for (int row = 0; row < adressen.rowCount(); ++row) {
        for (int column = 1; column < AddressTableModel::ColumnCount; ++column) {
            for (const AddressTableModel* list : {&adressen, &adrData}) {
                const QString cell = list->cell(row, column);
                const QString where =
                    QStringLiteral("%1 row %2 column %3: %4")
                        .arg(list == &adressen ? QStringLiteral("Adressen") : QStringLiteral("adrData"))
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
