#include "platform/documentpaths.h"
#include "platform/regularfile.h"
#include "privilege.h"
#include "tempfiles.h"

#include <QTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tovanel;

class TestDocumentPaths final : public QObject {
    Q_OBJECT
private slots:
    void pathsBecomeTheFilesToRead_data();
    void pathsBecomeTheFilesToRead();
};

namespace {
// Makes one item of a test's tree in `dir`: "a/b.vcf" a file (its folders too), "a/" a folder,
// "l -> target" a symbolic link, "h => target" a hard link to a file of the tree, "p |" a named pipe,
// "a/ 000" a folder nobody may read.
void make(const TempFiles& dir, const QString& item) {
    const auto native = [&](const QString& name) { return nativeFileName(dir.path(name)); };
    const auto parentOf = [&](const QString& name) {
        const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
        if (slash > 0) {
            dir.folder(name.left(slash));
        }
    };
    const QStringList parts = item.split(QLatin1Char(' '));
    const QString name = parts.constFirst();
    parentOf(name);
    bool made = true;
    if (parts.size() == 3 && parts.at(1) == QLatin1String("->")) {
        made = ::symlink(nativeFileName(parts.at(2)).constData(), native(name).constData()) == 0;
    } else if (parts.size() == 3 && parts.at(1) == QLatin1String("=>")) {
        made = ::link(native(parts.at(2)).constData(), native(name).constData()) == 0;
    } else if (parts.size() == 2 && parts.at(1) == QLatin1String("|")) {
        made = ::mkfifo(native(name).constData(), 0600) == 0;
    } else if (parts.size() == 2 && parts.at(1) == QLatin1String("000")) {
        dir.folder(name);
        made = ::chmod(native(name).constData(), 0) == 0;
    } else if (name.endsWith(QLatin1Char('/'))) {
        dir.folder(name);
    } else {
        // By the system's calls: QFile would write a name that is not UTF-8 as another one.
        const int out = ::open(native(name).constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        made = out >= 0 && ::write(out, "BEGIN:VCARD\r\n", 13) == 13 && ::close(out) == 0;
    }
    QVERIFY2(made, qPrintable(item));
}

QStringList names(std::initializer_list<const char*> list) {
    QStringList result;
    for (const char* name : list) {
        result << QString::fromUtf8(name);
    }
    return result;
}

QString mueller() {
    return QStringLiteral("M") + QChar(0xDCFC) + QStringLiteral("ller.vcf");
}
} // namespace

void TestDocumentPaths::pathsBecomeTheFilesToRead_data() {
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QStringList>("given");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("withoutVcards");
    QTest::addColumn<QStringList>("unreadable");

    const QStringList none;
    QTest::newRow("files as given, whatever their name, even missing")
        << names({"a.vcf", "notiz.txt"}) << names({"notiz.txt", "fehlt.vcf", "a.vcf"})
        << names({"notiz.txt", "fehlt.vcf", "a.vcf"}) << none << none;
    QTest::newRow("folder: its vCard files in German order, numbers as numbers")
        << names({"d/Zahn.vcf", "d/Ärzte.VCF", "d/bäcker.vcard", "d/10.vcf", "d/9.vcf", "d/Anna.vcf",
                  "d/liste.txt", "d/vcf", "d/ordner.vcf/"})
        << names({"d"})
        << names({"d/9.vcf", "d/10.vcf", "d/Anna.vcf", "d/Ärzte.VCF", "d/bäcker.vcard", "d/Zahn.vcf"}) << none
        << none;
    QTest::newRow("own files first, then each subfolder's, three levels down")
        << names({"d/b.vcf", "d/a/1.vcf", "d/a/b/2.vcf", "d/a/b/c/3.vcf", "d/a/b/c/d/4.vcf", "d/c.vcf"})
        << names({"d/"}) << names({"d/b.vcf", "d/c.vcf", "d/a/1.vcf", "d/a/b/2.vcf", "d/a/b/c/3.vcf"}) << none
        << none;
    QTest::newRow("hidden names passed over, unless named")
        << names({"d/.alt.vcf", "d/.versteckt/a.vcf", "d/b.vcf"}) << names({"d", "d/.versteckt"})
        << names({"d/b.vcf", "d/.versteckt/a.vcf"}) << none << none;
    QTest::newRow("the same file once: named twice, in a folder named, linked, hard-linked")
        << names({"d/a.vcf", "d/verweis.vcf -> a.vcf", "d/hart.vcf => d/a.vcf", "b.vcf"})
        << names({"d/a.vcf", "b.vcf", "d", "b.vcf"}) << names({"d/a.vcf", "b.vcf"}) << none << none;
    QTest::newRow("missing file named twice: once")
        << none << names({"fehlt.vcf", "./fehlt.vcf"}) << names({"fehlt.vcf"}) << none << none;
    QTest::newRow("links back to a folder above end there")
        << names({"d/a.vcf", "d/sub/b.vcf", "d/sub/zurück -> ..", "d/selbst -> .", "d/sub/oben -> ../.."})
        << names({"d"}) << names({"d/a.vcf", "d/sub/b.vcf"}) << none << none;
    QTest::newRow("a linked folder counts as the folder")
        << names({"echt/a.vcf", "verweis -> echt"}) << names({"verweis", "echt"}) << names({"verweis/a.vcf"})
        << none << none;
    QTest::newRow("folder without vCard files is told, the other paths still count")
        << names({"leer/notiz.txt", "leer/tief/x.txt", "a.vcf"}) << names({"leer", "a.vcf"})
        << names({"a.vcf"}) << names({"leer"}) << none;
    QTest::newRow("a vCard file four levels down is not looked for")
        << names({"d/1/2/3/4/a.vcf"}) << names({"d"}) << none << names({"d"}) << none;
    QTest::newRow("name not UTF-8 names its file")
        << QStringList{QStringLiteral("d/") + mueller()} << names({"d"})
        << QStringList{QStringLiteral("d/") + mueller()} << none << none;
    QTest::newRow("named pipe passed over in a folder, kept when named")
        << names({"d/a.vcf", "d/rohr.vcf |"}) << names({"d", "d/rohr.vcf"})
        << names({"d/a.vcf", "d/rohr.vcf"}) << none << none;
    QTest::newRow("folder that cannot be read")
        << names({"zu/ 000"}) << names({"zu"}) << none << none << names({"zu"});
    QTest::newRow("subfolder that cannot be read is told, not its folder as without vCard files")
        << names({"d/a.vcf", "d/zu/ 000", "leer/zu/ 000"}) << names({"d", "leer"}) << names({"d/a.vcf"})
        << none << names({"d/zu", "leer/zu"});
}

void TestDocumentPaths::pathsBecomeTheFilesToRead() {
    QFETCH(QStringList, tree);
    QFETCH(QStringList, given);
    QFETCH(QStringList, files);
    QFETCH(QStringList, withoutVcards);
    QFETCH(QStringList, unreadable);

    if (!unreadable.isEmpty()) {
        TOVANEL_UNPRIVILEGED_ROW();
    }
    const TempFiles dir;
    for (const QString& item : std::as_const(tree)) {
        make(dir, item);
    }
    const auto inDir = [&](QStringList names) {
        for (QString& name : names) {
            name = dir.path(name);
        }
        return names;
    };
    const DocumentFiles result = expandDocumentPaths(inDir(given));
    QCOMPARE(result.files, inDir(files));
    QCOMPARE(result.foldersWithoutVcards, inDir(withoutVcards));
    QStringList unreadableFolders;
    for (const DocumentFiles::UnreadableFolder& folder : result.unreadableFolders) {
        unreadableFolders << folder.folder;
        QCOMPARE(folder.reason,
                 QStringLiteral("Keine Berechtigung, den Ordner „%1“ zu öffnen.").arg(folder.folder));
    }
    QCOMPARE(unreadableFolders, inDir(unreadable));
    // What a folder gave opens as the file it names.
    for (const QString& file : result.files) {
        QVERIFY2(file.endsWith(QLatin1String("fehlt.vcf")) || fileStampOf(file).isValid(), qPrintable(file));
    }
    // QTemporaryDir cannot remove names that are not UTF-8.
    for (const QString& item : std::as_const(tree)) {
        ::unlink(nativeFileName(dir.path(item)).constData());
    }
}

QTEST_GUILESS_MAIN(TestDocumentPaths)
#include "tst_documentpaths.moc"
