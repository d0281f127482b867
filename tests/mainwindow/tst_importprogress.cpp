#include "mainwindow/importprogress.h"
#include "platform/listbox.h"
#include "platform/regularfile.h"
#include "tempfiles.h"
#include "vcard/importmessages.h"
#include "windowfixture.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <cerrno>
#include <memory>
#include <optional>

using namespace tovanel;

namespace {
// Runs `action` from the event loop once the progress window has been shown, i.e. in the middle of an
// import, while that window is up.
class WhenProgressShows final : public QObject {
public:
    explicit WhenProgressShows(std::function<void(QWidget*)> action) : m_action(std::move(action)) {
        qApp->installEventFilter(this);
    }
    int shown = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->objectName() == QLatin1String("ImportProgress")) {
            ++shown;
            auto* window = static_cast<QWidget*>(watched);
            QMetaObject::invokeMethod(
                this, [this, window] { m_action(window); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    std::function<void(QWidget*)> m_action;
};

std::optional<Qt::CursorShape> overrideCursor() {
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor ? std::optional(cursor->shape()) : std::nullopt;
}
} // namespace

class tst_ImportProgress : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void barShowsTheShareRead_data();
    void barShowsTheShareRead();
    void shortReadShowsOnlyTheCursor();

    void importBlocksEverythingWhileTheWindowShows();
    void cursorAndWindowAreGoneBeforeEveryMessage_data();
    void cursorAndWindowAreGoneBeforeEveryMessage();
    void smallImportShowsNoWindow();
    void cancelledImportLeavesEverythingAsItWas_data();
    void cancelledImportLeavesEverythingAsItWas();

private:
    FakeDialogs m_dialogs;
    std::unique_ptr<TempFiles> m_files;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
};

void tst_ImportProgress::initTestCase() {
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

void tst_ImportProgress::init() {
    m_dialogs.messages.clear();
    m_dialogs.nextFiles.clear();
    m_dialogs.openFileTypes.clear();
    m_dialogs.onMessage = nullptr;
    m_files = std::make_unique<TempFiles>();
    m_window = std::make_unique<MainWindow>(m_dialogs);
    m_window->setQuitHandler([] {});
    m_tester = std::make_unique<QAbstractItemModelTester>(m_window->contactModel());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void tst_ImportProgress::cleanup() {
    m_tester.reset();
    m_window.reset();
    m_files.reset();
    QCOMPARE(overrideCursor(), std::nullopt);
}

void tst_ImportProgress::barShowsTheShareRead_data() {
    QTest::addColumn<qint64>("done");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("value"); // thousandths; a busy bar has none
    QTest::newRow("start") << qint64(0) << qint64(4000) << 1000 << 0;
    QTest::newRow("a third") << qint64(1000) << qint64(3000) << 1000 << 333;
    QTest::newRow("all") << qint64(3000) << qint64(3000) << 1000 << 1000;
    QTest::newRow("6 GB of 8 GB") << (qint64(6) << 30) << (qint64(8) << 30) << 1000 << 750;
    QTest::newRow("more than the size (file grew)") << qint64(5000) << qint64(4000) << 1000 << 1000;
    QTest::newRow("size unknown: busy") << qint64(5000) << qint64(-1) << 0 << -1;
}

void tst_ImportProgress::barShowsTheShareRead() {
    QFETCH(qint64, done);
    QFETCH(qint64, total);
    {
        ImportProgress progress(m_window.get(), 0);
        QCOMPARE(progress.dialog(), nullptr);
        progress.update(done, total);
        QDialog* dialog = progress.dialog();
        QVERIFY(dialog);
        QVERIFY(dialog->isVisible());
        QCOMPARE(QApplication::activeModalWidget(), dialog);
        QCOMPARE(dialog->findChild<QLabel*>()->text(), QStringLiteral("Lese Kontakte …"));
        auto* bar = dialog->findChild<QProgressBar*>();
        QCOMPARE(bar->minimum(), 0);
        QTEST(bar->maximum(), "maximum");
        QTEST(bar->value(), "value");
        QCOMPARE(overrideCursor(), Qt::WaitCursor);

        // Neither Escape nor a close request takes the window away while the file is read.
        QTest::keyClick(dialog, Qt::Key_Escape);
        QVERIFY(!dialog->close());
        QVERIFY(dialog->isVisible());
    }
    QCOMPARE(m_window->findChild<QWidget*>(QStringLiteral("ImportProgress")), nullptr);
    QCOMPARE(overrideCursor(), std::nullopt);
}

void tst_ImportProgress::shortReadShowsOnlyTheCursor() {
    {
        ImportProgress progress(m_window.get(), 60'000);
        progress.update(100, 200);
        progress.update(200, 200);
        QCOMPARE(progress.dialog(), nullptr);
        QCOMPARE(overrideCursor(), Qt::WaitCursor);
    }
    QCOMPARE(overrideCursor(), std::nullopt);
}

void tst_ImportProgress::importBlocksEverythingWhileTheWindowShows() {
    const QString first = m_files->write(QStringLiteral("erste.vcf"),
                                         cards(named({QStringLiteral("Anna"), QStringLiteral("Bernd")})));
    const QString second =
        m_files->write(QStringLiteral("zweite.vcf"), cards(named({QStringLiteral("Carla")})));
    m_dialogs.nextFiles << second;
    m_window->setProgressDelay(0);

    struct Seen {
        QString label;
        bool modal = false;
        std::optional<Qt::CursorShape> cursor;
        int adressenRows = -1;
        int addressListRows = -1;
        bool dropAccepted = true;
    } seen;
    WhenProgressShows during([&](QWidget* dialog) {
        seen.label = dialog->findChild<QLabel*>()->text();
        seen.modal = QApplication::activeModalWidget() == dialog;
        seen.cursor = overrideCursor();
        seen.adressenRows = m_window->contactModel()->rowCount();
        seen.addressListRows = m_window->addressModel()->rowCount();
        // Every road to a second import: the application handing over a document, the menu item, a drop.
        m_window->openFile(second);
        m_window->appMenuBar()->openAction()->trigger();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(second)});
        QDragEnterEvent enter(QPoint(200, 200), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(m_window.get(), &enter);
        QDropEvent drop(QPoint(200, 200), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(m_window.get(), &drop);
        seen.dropAccepted = enter.isAccepted() || drop.isAccepted();
    });

    m_window->openFile(first);

    QCOMPARE(during.shown, 1);
    QCOMPARE(seen.label, QStringLiteral("Lese Kontakte …"));
    QVERIFY(seen.modal);
    QCOMPARE(seen.cursor, Qt::WaitCursor);
    QCOMPARE(seen.adressenRows, 0);
    QCOMPARE(seen.addressListRows, 0);
    QVERIFY(!seen.dropAccepted);
    QCOMPARE(m_dialogs.openFileTypes, QStringList());
    QCOMPARE(m_window->filePath(), first);
    QCOMPARE(m_window->contactModel()->rowCount(), 2);
    QCOMPARE(m_window->contactModel()->cell(1, ContactColumn::Name), QStringLiteral("Bernd"));
    QVERIFY(!m_window->importing());
    QCOMPARE(m_window->findChild<QWidget*>(QStringLiteral("ImportProgress")), nullptr);

    // Once it is over, the next import goes ahead.
    m_window->openFile(second);
    QCOMPARE(m_window->filePath(), second);
    QCOMPARE(m_window->contactModel()->rowCount(), 1);
}

void tst_ImportProgress::cursorAndWindowAreGoneBeforeEveryMessage_data() {
    QTest::addColumn<QByteArray>("content"); // empty: the file does not exist
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("nothing imported")
        << QByteArray("VERSION:3.0\r\n") << QStringList{ImportMessages::nothingImported()};
    QTest::newRow("END before BEGIN, open cancelled")
        << QByteArray("END:VCARD\r\n") << QStringList{ImportMessages::strayEnd()};
    QTest::newRow("file missing") << QByteArray()
                                  << QStringList{ImportMessages::cannotRead(QStringLiteral("fehlt.vcf"),
                                                                            systemErrorReason(ENOENT))};
}

void tst_ImportProgress::cursorAndWindowAreGoneBeforeEveryMessage() {
    QFETCH(QByteArray, content);
    const QString path = content.isEmpty() ? m_files->path(QStringLiteral("fehlt.vcf"))
                                           : m_files->write(QStringLiteral("datei.vcf"), content);
    const QString other =
        m_files->write(QStringLiteral("andere.vcf"), cards(named({QStringLiteral("Dora")})));
    m_window->setProgressDelay(0);

    QList<std::optional<Qt::CursorShape>> cursors;
    QList<bool> progressShown;
    m_dialogs.onMessage = [&](const QString&) {
        cursors << overrideCursor();
        auto* progress = m_window->findChild<QWidget*>(QStringLiteral("ImportProgress"));
        progressShown << (progress && progress->isVisible());
        // The message is a modal loop of its own, in which the application may hand over a document.
        m_window->openFile(other);
    };

    m_window->openFile(path);

    QTEST(m_dialogs.messages, "messages");
    QCOMPARE(cursors, QList<std::optional<Qt::CursorShape>>{std::nullopt});
    QCOMPARE(progressShown, QList<bool>{false});
    // A missing file replaces nothing, not even the (empty) window's file.
    QCOMPARE(m_window->filePath(), content.isEmpty() ? QString() : path);
    QVERIFY(!m_window->importing());
}

void tst_ImportProgress::smallImportShowsNoWindow() {
    const QString path = m_files->write(QStringLiteral("klein.vcf"), cards(named({QStringLiteral("Anna")})));
    WhenProgressShows during([](QWidget*) {});
    m_window->openFile(path);
    QCOMPARE(m_window->contactModel()->rowCount(), 1);
    QCOMPARE(during.shown, 0);
}

void tst_ImportProgress::cancelledImportLeavesEverythingAsItWas_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Abbrechen") << QStringLiteral("button");
    QTest::newRow("Esc") << QStringLiteral("escape");
    QTest::newRow("closing the window") << QStringLiteral("close");
}

void tst_ImportProgress::cancelledImportLeavesEverythingAsItWas() {
    QFETCH(QString, how);
    const QString first = m_files->write(QStringLiteral("erste.vcf"),
                                         cards(named({QStringLiteral("Anna"), QStringLiteral("Bernd")})));
    m_window->openFile(first);
    m_window->contactList()->sortByColumn(ContactColumn::Name, Qt::DescendingOrder);
    const QString title = m_window->windowTitle();
    // Megabytes without a single line break: the reading still asks whether to go on.
    const QString big =
        m_files->write(QStringLiteral("gross.vcf"), "BEGIN:VCARD\r\nNOTE:" + QByteArray(8 << 20, 'x'));
    m_window->setProgressDelay(0);
    int readToEnd = 0;
    connect(m_window.get(), &MainWindow::fileReadToEnd, this, [&] { ++readToEnd; });
    WhenProgressShows during([&](QWidget* dialog) {
        auto* cancel = dialog->findChild<QPushButton*>(QStringLiteral("ImportCancel"));
        QVERIFY(cancel);
        QCOMPARE(cancel->text(), QStringLiteral("Abbrechen"));
        if (how == QLatin1String("button")) {
            cancel->click();
        } else if (how == QLatin1String("escape")) {
            QTest::keyClick(dialog, Qt::Key_Escape);
        } else {
            dialog->close();
        }
    });
    m_window->openFile(big);

    QCOMPARE(during.shown, 1);
    QCOMPARE(m_window->filePath(), first);
    QCOMPARE(m_window->windowTitle(), title);
    QCOMPARE(m_window->contactModel()->rowCount(), 2);
    QCOMPARE(m_window->addressModel()->rowCount(), 2);
    // In the order the user sorted it, with the sort mark where it was.
    QCOMPARE(m_window->contactModel()->cell(0, ContactColumn::Name), QStringLiteral("Bernd"));
    QCOMPARE(m_window->contactList()->horizontalHeader()->sortIndicatorSection(), 1);
    QCOMPARE(m_window->contactList()->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
    QCOMPARE(readToEnd, 0);
    QCOMPARE(m_dialogs.messages, QStringList());
    QVERIFY(!m_window->importing());
    QCOMPARE(m_window->findChild<QWidget*>(QStringLiteral("ImportProgress")), nullptr);
}

QTEST_MAIN(tst_ImportProgress)
#include "tst_importprogress.moc"
