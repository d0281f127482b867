// Hostile and broken files: each one ends in a clear German message or a correct partial table, never a
// crash. The inputs are generated here; the fuzzers' findings live in tests/regressions and are imported
// by regressionInputs().
#include "importedlists.h"
#include "platform/regularfile.h"
#include "privilege.h"
#include "tempfiles.h"
#include "vcard/cardsource.h"
#include "vcard/importmessages.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tovanel;

namespace {

using ImportMessages::nothingImported;
using ImportMessages::strayEnd;

QByteArray repeated(const QByteArray& line, int times) {
    QByteArray out;
    out.reserve(line.size() * times);
    for (int i = 0; i < times; ++i) {
        out += line;
    }
    return out;
}

QByteArray card(const QByteArray& lines) {
    return "BEGIN:VCARD\r\n" + lines + "\r\nEND:VCARD\r\n";
}

QByteArray pngBytes() {
    QImage image(32, 32, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

QByteArray randomBytes(qsizetype size) {
    QRandomGenerator generator(20261207);
    QByteArray bytes(size, Qt::Uninitialized);
    generator.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

QByteArray utf16le(const QString& text) {
    QByteArray bytes("\xFF\xFE");
    bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return bytes;
}

// Every property the program relies on after an import, whatever the file held.
void checkConsistent(const ImportedLists& import, qint64 fileSize) {
    QCOMPARE(import.addresses.rowCount(), import.contacts.rowCount());
    const ContactTable& table = import.contacts.table();
    for (qsizetype i = 0; i < table.size(); ++i) {
        QVERIFY(table.beginPosition(i) >= 0 && table.beginPosition(i) < fileSize);
        const qint64 end = table.endPosition(i);
        QVERIFY(end == -1 || (end > table.beginPosition(i) && end <= fileSize));
    }
}

} // namespace

class TestBadInput : public QObject {
    Q_OBJECT

private slots:
    void fileContents_data();
    void fileContents();
    void hugeLine_data();
    void hugeLine();
    void valueAtChunkBorder_data();
    void valueAtChunkBorder();
    void unreadablePaths_data();
    void unreadablePaths();
    void systemErrorsInGerman_data();
    void systemErrorsInGerman();
    void outOfMemoryIsAMessage();
    void regressionInputs_data();
    void regressionInputs();
    void sourceAfterFileChanged_data();
    void sourceAfterFileChanged();
    void nothingWritten();

private:
    TempFiles m_files;
};

void TestBadInput::fileContents_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("rows");
    // The name of the last row, where the file gives one.
    QTest::addColumn<QString>("name");

    const QStringList none;
    const QStringList empty{nothingImported()};
    QTest::newRow("empty file") << QByteArray() << empty << 0 << QString();
    QTest::newRow("zero-filled") << QByteArray(1 << 20, '\0') << empty << 0 << QString();
    QTest::newRow("random binary, 1 MB") << randomBytes(1 << 20) << empty << 0 << QString();
    QTest::newRow("PNG renamed") << pngBytes() << empty << 0 << QString();
    QTest::newRow("only END lines") << repeated("END:VCARD\r\n", 1000) << QStringList{strayEnd()} << 0
                                    << QString();
    // Every BEGIN opens a row; the first END closes the innermost, the next one is stray.
    QTest::newRow("100000 nested BEGIN")
        << repeated("BEGIN:VCARD\n", 100000) + repeated("END:VCARD\n", 100000) << QStringList{strayEnd()}
        << 100000 << QString();

    QTest::newRow("NUL inside a value") << card(QByteArrayLiteral("FN:Ha\0ns\r\nTEL;CELL:01\0\0")) << none
                                        << 1 << QStringLiteral("Ha") + QChar(0) + QStringLiteral("ns");
    QTest::newRow("NUL as the first byte of a value")
        << card(QByteArrayLiteral("FN:\0Hans")) << none << 1 << QChar(0) + QStringLiteral("Hans");

    // Quoted-printable cut short keeps what cannot be decoded as it stands.
    QTest::newRow("QP '=' at the end of the file")
        << QByteArray("BEGIN:VCARD\r\nFN;ENCODING=QUOTED-PRINTABLE:M=C3=BCller=") << none << 1
        << QStringLiteral("Müller=");
    QTest::newRow("QP '=4'") << card("FN;ENCODING=QUOTED-PRINTABLE:M=C3=BCller=4") << none << 1
                             << QStringLiteral("Müller=4");
    QTest::newRow("QP '=4' at the end of the file")
        << QByteArray("BEGIN:VCARD\r\nFN;ENCODING=QUOTED-PRINTABLE:M=C3=BCller=4") << none << 1
        << QStringLiteral("Müller=4");
    QTest::newRow("QP '=G1'") << card("FN;ENCODING=QUOTED-PRINTABLE:M=C3=BCller=G1") << none << 1
                              << QStringLiteral("Müller=G1");
    QTest::newRow("QP half a UTF-8 sequence")
        << card("FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:M=C3") << none << 1 << QStringLiteral("MÃ");

    QTest::newRow("invalid UTF-8 under CHARSET=UTF-8")
        << card("FN;CHARSET=UTF-8:M\xFCller") << none << 1 << QStringLiteral("Müller");
    QTest::newRow("invalid UTF-8 in QP under CHARSET=UTF-8")
        << card("FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:M=FCller") << none << 1
        << QStringLiteral("Müller");
    QTest::newRow("overlong UTF-8 under CHARSET=UTF-8")
        << card("FN;CHARSET=UTF-8:\xC0\xAF") << none << 1 << QStringLiteral("À¯");
    QTest::newRow("unknown CHARSET") << card("FN;CHARSET=X-NO-SUCH-CHARSET:M\xC3\xBCller") << none << 1
                                     << QStringLiteral("Müller");
    QTest::newRow("CHARSET name of binary bytes")
        << card("FN;CHARSET=\x01\xFF\x80:M\xC3\xBCller") << none << 1 << QStringLiteral("Müller");

    const QByteArray utf16 = utf16le(QStringLiteral("BEGIN:VCARD\r\nFN:Jörg\r\nEND:VCARD\r\n"));
    QTest::newRow("UTF-16 with an odd byte at the end") << utf16 + 'x' << none << 1 << QStringLiteral("Jörg");
    QTest::newRow("UTF-16 cut in the middle of a unit")
        << utf16.first(utf16.indexOf('J') + 3) << none << 1 << QStringLiteral("J");
}

void TestBadInput::fileContents() {
    QFETCH(QByteArray, content);
    QFETCH(QStringList, messages);
    QFETCH(int, rows);
    QFETCH(QString, name);

    const QString path = m_files.write(QStringLiteral("bad.vcf"), content);

    const ImportedLists import(path);
    QCOMPARE(import.messages(), messages);
    QCOMPARE(import.contacts.rowCount(), rows);
    checkConsistent(import, content.size());
    if (!name.isNull()) {
        QCOMPARE(import.contacts.cell(rows - 1, ContactColumn::Name), name);
    }
}

void TestBadInput::hugeLine_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<qsizetype>("lineSize");
    QTest::addColumn<int>("rows");

    const QByteArray note("BEGIN:VCARD\nNOTE:");
    const QByteArray end("\nEND:VCARD\n");
    QTest::newRow("50 MB line alone") << QByteArray() << QByteArray() << qsizetype(50 << 20) << 0;
    QTest::newRow("50 MB note in a card") << note << end << qsizetype(50 << 20) << 1;
    QTest::newRow("note beyond the line limit") << note << end << MaxLineLength + 1000 << 1;
}

// One huge line without a line break: read to its end, and where it is a value, kept whole up to the
// line limit.
void TestBadInput::hugeLine() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QFETCH(qsizetype, lineSize);
    QFETCH(int, rows);

    const QString path = m_files.path(QStringLiteral("huge.vcf"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(before);
        const QByteArray block(1 << 20, 'x');
        for (qsizetype written = 0; written < lineSize; written += block.size()) {
            file.write(block.first(std::min(block.size(), lineSize - written)));
        }
        file.write(after);
    }
    const ImportedLists import(path);
    QFile::remove(path);
    QCOMPARE(import.contacts.rowCount(), rows);
    if (rows == 0) {
        QCOMPARE(import.messages(), QStringList{nothingImported()});
        return;
    }
    QCOMPARE(import.messages(), QStringList());
    const qsizetype noteLine = qsizetype(sizeof("NOTE:") - 1) + lineSize;
    QCOMPARE(import.addresses.table().text(0, Field::Note).size(),
             std::min(noteLine, MaxLineLength) - qsizetype(sizeof("NOTE:") - 1));
    QCOMPARE(import.contacts.cell(0, ContactColumn::EndPosition),
             QString::number(before.size() + lineSize + after.size()));
}

void TestBadInput::valueAtChunkBorder_data() {
    QTest::addColumn<QByteArray>("lineEnd");
    QTest::addColumn<QByteArray>("next");
    QTest::addColumn<int>("shift");
    QTest::addColumn<QString>("tail");

    // The reader works in chunks of 1 MB; whether a value goes on is decided by the byte after the line.
    for (int shift : {-2, -1, 0, 1}) {
        const QByteArray at = QByteArray::number(shift);
        QTest::newRow("folded, LF, " + at)
            << QByteArray("\n") << QByteArray(" tail") << shift << QStringLiteral("tail");
        QTest::newRow("folded, CRLF, " + at)
            << QByteArray("\r\n") << QByteArray("\ttail") << shift << QStringLiteral("tail");
        QTest::newRow("not folded, CRLF, " + at)
            << QByteArray("\r\n") << QByteArray("X-A:tail") << shift << QString();
    }
}

void TestBadInput::valueAtChunkBorder() {
    QFETCH(QByteArray, lineEnd);
    QFETCH(QByteArray, next);
    QFETCH(int, shift);
    QFETCH(QString, tail);

    const QByteArray head("BEGIN:VCARD\nNOTE:");
    const qsizetype fill = (1 << 20) + shift - head.size() - lineEnd.size();
    const QByteArray content = head + QByteArray(fill, 'x') + lineEnd + next + "\nEND:VCARD\n";
    const QString path = m_files.write(QStringLiteral("border.vcf"), content);

    const ImportedLists import(path);
    QCOMPARE(import.messages(), QStringList());
    QCOMPARE(import.addresses.cell(0, AddressColumn::Note), QString(fill, QLatin1Char('x')) + tail);
    QCOMPARE(import.contacts.cell(0, ContactColumn::EndPosition), QString::number(content.size()));
}

void TestBadInput::unreadablePaths_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");

    const QString folder = m_files.folder(QStringLiteral("folder.vcf"));
    QTest::newRow("a folder") << folder << QStringLiteral("Das ist ein Ordner, keine Datei.");

    QTest::newRow("missing file") << m_files.path(QStringLiteral("missing.vcf"))
                                  << QStringLiteral("Die Datei existiert nicht.");

    const QString loopA = m_files.path(QStringLiteral("loop-a.vcf"));
    const QString loopB = m_files.path(QStringLiteral("loop-b.vcf"));
    QFile::link(loopB, loopA);
    QFile::link(loopA, loopB);
    QTest::newRow("symlink loop") << loopA << QStringLiteral("Zu viele Verknüpfungen hintereinander.");

    const QString dangling = m_files.path(QStringLiteral("dangling.vcf"));
    QFile::link(m_files.path(QStringLiteral("gone.vcf")), dangling);
    QTest::newRow("dangling symlink")
        << dangling << QStringLiteral("Die Verknüpfung zeigt auf keine vorhandene Datei.");

    // Root reads any file whatever its mode; a write-only kernel setting refuses even root.
    QString locked = QStringLiteral("/proc/sys/vm/compact_memory");
    if (geteuid() != 0) {
        locked = m_files.write(QStringLiteral("locked.vcf"), card("FN:Geheim"));
        QFile::setPermissions(locked, QFileDevice::WriteOwner);
    }
    QTest::newRow("no read permission")
        << locked << QStringLiteral("Keine Berechtigung, die Datei zu lesen.");

    const QString closed = m_files.path(QStringLiteral("closed"));
    QDir().mkpath(closed);
    QFile(closed + QStringLiteral("/inside.vcf")).open(QIODevice::WriteOnly);
    QFile::setPermissions(closed, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QTest::newRow("file in a folder one may not enter")
        << closed + QStringLiteral("/inside.vcf")
        << QStringLiteral("Keine Berechtigung, den Ordner „%1“ zu öffnen.").arg(closed);

    // Not files: reading them would block for good, or never end.
    const QString fifo = m_files.path(QStringLiteral("fifo.vcf"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& device : {fifo, QStringLiteral("/dev/zero"), QStringLiteral("/dev/full"),
                                  QStringLiteral("/dev/urandom"), QStringLiteral("/dev/null")}) {
        QTest::newRow(qPrintable(QFileInfo(device).fileName())) << device << notRegularFileReason(device);
    }
}

void TestBadInput::unreadablePaths() {
    QFETCH(QString, path);
    QFETCH(QString, reason);
    // Root enters every folder.
    if (path.startsWith(m_files.path(QStringLiteral("closed/")))) {
        TOVANEL_UNPRIVILEGED_ROW();
    }
    if (path.startsWith(QLatin1String("/dev/")) && !QFileInfo::exists(path)) {
        QSKIP("no such device on this system");
    }

    const ImportedLists import(path);
    QCOMPARE(import.messages(), QStringList{ImportMessages::cannotRead(path, reason)});
    QCOMPARE(import.contacts.rowCount(), 0);
    QCOMPARE(import.result.status, VcardReadResult::Status::ReadError);
}

void TestBadInput::systemErrorsInGerman_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no such file") << ENOENT << QStringLiteral("Die Datei existiert nicht.");
    QTest::newRow("no permission") << EACCES << QStringLiteral("Keine Berechtigung, die Datei zu lesen.");
    QTest::newRow("a folder") << EISDIR << QStringLiteral("Das ist ein Ordner, keine Datei.");
    QTest::newRow("too many links") << ELOOP << QStringLiteral("Zu viele Verknüpfungen hintereinander.");
    QTest::newRow("no such device") << ENXIO << QStringLiteral("Das Gerät ist nicht vorhanden.");
    QTest::newRow("input/output error")
        << EIO << QStringLiteral("Ein-/Ausgabefehler beim Lesen des Datenträgers.");
    QTest::newRow("out of memory") << ENOMEM << QStringLiteral("Nicht genug Arbeitsspeicher.");
    QTest::newRow("file too big") << EFBIG << QStringLiteral("Die Datei ist zu groß.");
    QTest::newRow("unknown: the system's text") << EDOM << QString::fromLocal8Bit(std::strerror(EDOM));
}

// The import and the source view get their reasons as a number (opening) or as the system's text that Qt
// passes on (reading); either way the user reads German.
void TestBadInput::systemErrorsInGerman() {
    QFETCH(int, number);
    QFETCH(QString, reason);
    QCOMPARE(systemErrorReason(number), reason);
    QCOMPARE(readFailureReason(QString(), QString::fromLocal8Bit(std::strerror(number))), reason);
}

// Memory running out in the middle of an import ends in the message, not in an abort: the bench's import
// runs in a child whose address space is limited to twice the file's size.
void TestBadInput::outOfMemoryIsAMessage() {
    const QString bench = qEnvironmentVariable("TOVANEL_BENCH");
    if (bench.isEmpty() || !QFileInfo::exists(bench)) {
        QSKIP("tovanel-bench not built");
    }
    const QString smallPath = m_files.write(QStringLiteral("small.vcf"), card("FN:Anna"));
    const QString path = m_files.path(QStringLiteral("gross.vcf"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray note = "NOTE:" + QByteArray(3 << 19, 'x') + "\r\n";
        for (int i = 0; i < 64; ++i) {
            file.write(card("FN:Name " + QByteArray::number(i) + "\r\n" + note));
        }
    }
    const rlim_t limit = rlim_t(QFileInfo(path).size()) * 2;
    const auto run = [&](const QString& file) {
        auto process = std::make_unique<QProcess>();
        process->setChildProcessModifier([limit] {
            const rlimit value{limit, limit};
            ::setrlimit(RLIMIT_AS, &value);
        });
        process->start(bench, {QStringLiteral("import"), file});
        process->waitForFinished(60000);
        return process;
    };
    // A build with sanitizers reserves more address space than that before it starts.
    if (const auto small = run(smallPath);
        small->exitStatus() != QProcess::NormalExit || small->exitCode() != 0) {
        QSKIP("the bench does not start under this limit");
    }
    const auto big = run(path);
    QCOMPARE(big->exitStatus(), QProcess::NormalExit);
    QCOMPARE(big->exitCode(), 0);
    QVERIFY2(QString::fromUtf8(big->readAllStandardError()).contains(ImportMessages::outOfMemory(path)),
             "no message");
}

void TestBadInput::regressionInputs_data() {
    QTest::addColumn<QString>("path");
    QDirIterator it(QStringLiteral(TOVANEL_REGRESSIONS), QDir::Files);
    while (it.hasNext()) {
        it.next();
        QTest::newRow(qPrintable(it.fileName())) << it.filePath();
    }
}

// Inputs that once crashed the import or broke its positions.
void TestBadInput::regressionInputs() {
    QFETCH(QString, path);
    const ImportedLists import(path);
    checkConsistent(import, QFileInfo(path).size());
    for (const ContactListModel* model : {&import.contacts, &import.addresses}) {
        for (int row = 0; row < model->rowCount(); ++row) {
            for (int column = 0; column < ContactListModel::ColumnCount; ++column) {
                (void)model->data(model->index(row, column));
            }
        }
    }
    QVERIFY(import.messages().size() <= 1);
}

void TestBadInput::sourceAfterFileChanged_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("contact");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");
    QTest::addColumn<bool>("checked"); // the table's stamp is handed over

    const QString gone = QStringLiteral("Die Datei existiert nicht.");
    QTest::newRow("deleted") << QStringLiteral("delete") << 0 << false << QString() << gone << false;
    QTest::newRow("truncated in the first card")
        << QStringLiteral("truncate") << 0 << true << QStringLiteral("BEGIN:VCAR") << QString() << false;
    QTest::newRow("truncated before the second card")
        << QStringLiteral("truncate") << 1 << true << QString() << QString() << false;
    QTest::newRow("replaced by a folder") << QStringLiteral("folder") << 1 << false << QString()
                                          << QStringLiteral("Das ist ein Ordner, keine Datei.") << false;
    QTest::newRow("replaced by a symlink loop")
        << QStringLiteral("loop") << 0 << false << QString()
        << QStringLiteral("Zu viele Verknüpfungen hintereinander.") << false;
    QTest::newRow("replaced by zeros")
        << QStringLiteral("zeros") << 1 << true << QString(34, QChar(0)) << QString() << false;
    QTest::newRow("replaced by UTF-16 of odd length")
        << QStringLiteral("utf16") << 0 << true << QStringLiteral("BEGIN:VCARD\r\nFN") << QString() << false;
    const QString changed = QStringLiteral("Die Datei wurde seit dem Einlesen geändert.");
    QTest::newRow("untouched, checked")
        << QStringLiteral("none") << 1 << true << QStringLiteral("BEGIN:VCARD\r\nFN:Bernd\r\nEND:VCARD")
        << QString() << true;
    QTest::newRow("truncated, checked")
        << QStringLiteral("truncate") << 0 << false << QString() << changed << true;
    QTest::newRow("appended to, checked")
        << QStringLiteral("append") << 0 << false << QString() << changed << true;
    QTest::newRow("replaced by zeros, checked")
        << QStringLiteral("zeros") << 1 << false << QString() << changed << true;
    QTest::newRow("deleted, checked") << QStringLiteral("delete") << 0 << false << QString() << gone << true;
    QTest::newRow("replaced by a FIFO") << QStringLiteral("fifo") << 0 << false << QString()
                                        << notRegularFileReason(QStringLiteral("kontakte.vcf")) << false;
}

// The source is read again when asked for; whatever became of the file meanwhile, the answer is the
// bytes now there or a German reason.
void TestBadInput::sourceAfterFileChanged() {
    QFETCH(QString, change);
    QFETCH(int, contact);
    QFETCH(bool, ok);
    QFETCH(QString, text);
    QFETCH(QString, error);
    QFETCH(bool, checked);

    const TempFiles files;
    const QString path = files.write(QStringLiteral("kontakte.vcf"), card("FN:Anna") + card("FN:Bernd"));
    const ImportedLists import(path);
    QCOMPARE(import.contacts.rowCount(), 2);
    const CardSourceRange range = cardSourceRange(import.contacts.table(), contact);

    if (change == QLatin1String("none")) {
    } else if (change == QLatin1String("delete")) {
        QVERIFY(QFile::remove(path));
    } else if (change == QLatin1String("fifo")) {
        QVERIFY(QFile::remove(path));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (change == QLatin1String("append")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append));
        file.write(card("FN:Carla"));
    } else if (change == QLatin1String("truncate")) {
        QVERIFY(QFile::resize(path, 10));
    } else if (change == QLatin1String("folder")) {
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkdir(path));
    } else if (change == QLatin1String("loop")) {
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::link(path + QLatin1Char('2'), path));
        QVERIFY(QFile::link(path, path + QLatin1Char('2')));
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        if (change == QLatin1String("zeros")) {
            file.write(QByteArray(100, '\0'));
        } else {
            file.write(utf16le(QStringLiteral("BEGIN:VCARD\r\nFN")) + 'x');
        }
    }

    const CardSourceText source =
        readCardSource(path, range, checked ? import.contacts.table().fileSource(0)->stamp : FileStamp());
    QCOMPARE(source.ok, ok);
    QCOMPARE(source.text, text);
    QCOMPARE(source.error, error);
    QCOMPARE(source.changed, error.endsWith(QStringLiteral("geändert.")));
}

namespace {
// Every file and folder under `root` with its size and modification time, one line each.
QStringList snapshot(const QString& root) {
    QStringList entries;
    const auto add = [&](const QFileInfo& info) {
        entries << QStringLiteral("%1 %2 %3")
                       .arg(info.filePath())
                       .arg(info.isDir() ? -1 : info.size())
                       .arg(info.lastModified().toMSecsSinceEpoch());
    };
    add(QFileInfo(root));
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        add(it.fileInfo());
    }
    entries.sort();
    return entries;
}

// Points HOME and TMPDIR at fresh folders for the life of the object.
class IsolatedEnvironment final {
public:
    explicit IsolatedEnvironment(const QString& root) {
        for (const char* name : Names) {
            m_saved.append(qgetenv(name));
            qunsetenv(name);
        }
        QDir().mkpath(root + QStringLiteral("/home"));
        QDir().mkpath(root + QStringLiteral("/tmp"));
        qputenv("HOME", QFile::encodeName(root + QStringLiteral("/home")));
        qputenv("TMPDIR", QFile::encodeName(root + QStringLiteral("/tmp")));
    }
    ~IsolatedEnvironment() {
        for (qsizetype i = 0; i < m_saved.size(); ++i) {
            if (m_saved[i].isNull()) {
                qunsetenv(Names[i]);
            } else {
                qputenv(Names[i], m_saved[i]);
            }
        }
    }
    Q_DISABLE_COPY_MOVE(IsolatedEnvironment)

private:
    // The XDG folders are unset so that they too fall back to the fresh HOME.
    static constexpr const char* Names[] = {"HOME",           "TMPDIR",        "XDG_CONFIG_HOME",
                                            "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"};
    QList<QByteArray> m_saved;
};
} // namespace

// The import and the source view read and nothing else: with the file and its folder read-only (which does
// not stop root, hence the comparison), no file under the home and temp folders appears or changes.
void TestBadInput::nothingWritten() {
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString folder = root.filePath(QStringLiteral("data"));
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/kontakte.vcf");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(card("FN:Jörg Müller\r\nTEL;CELL;pref:+49 171 1234") + card("FN:Anna\r\nNOTE:Notiz"));
    }
    const QFileDevice::Permissions readOnly =
        QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    QVERIFY(QFile::setPermissions(path, readOnly));
    QVERIFY(QFile::setPermissions(folder, readOnly | QFileDevice::ExeOwner | QFileDevice::ExeGroup |
                                              QFileDevice::ExeOther));

    {
        const IsolatedEnvironment environment(root.path());
        const QStringList before = snapshot(root.path());
        const ImportedLists import(path);
        QCOMPARE(import.contacts.rowCount(), 2);
        QCOMPARE(import.messages(), QStringList());
        for (int contact = 0; contact < 2; ++contact) {
            QVERIFY(readCardSource(path, cardSourceRange(import.contacts.table(), contact)).ok);
        }
        QCOMPARE(snapshot(root.path()), before);
    }
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QTEST_GUILESS_MAIN(TestBadInput)
#include "tst_badinput.moc"
