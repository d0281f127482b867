#include "card/contactrows.h"
#include "contactlist/contactlistmodel.h"
#include "contacts/duplicates.h"
#include "contrast.h"
#include "detailwindow/detailrows.h"
#include "detailwindow/detailwindow.h"
#include "detailwindow/qrcodewindow.h"
#include "detailwindow/sourcedisplay.h"
#include "fakedialogs.h"
#include "importedlists.h"
#include "platform/accessiblelistbox.h"
#include "platform/listbox.h"
#include "tempfiles.h"
#include "vcard/cardsource.h"
#include "vcard/importmessages.h"
#include "vcard/vcardreader.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialog>
#include <QFontMetrics>
#include <QFutureWatcher>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSemaphore>
#include <QStandardPaths>
#include <QTest>
#include <QThreadPool>
#include <array>

using namespace tovanel;

namespace {

// Contact 1 fills every field, contact 2 a few and has two further rows, contact 3 none.
const QByteArray Fixture = "BEGIN:VCARD\n"
                           "VERSION:3.0\n"
                           "FN:Zora Ziegler\n"
                           "ORG:Zeta GmbH\n"
                           "TEL;TYPE=CELL:+49 171 1111111\n"
                           "TEL;TYPE=HOME:089 2222\n"
                           "TEL;TYPE=WORK:030 3333\n"
                           "EMAIL:zora@example.org\n"
                           "ADR;TYPE=HOME:;;Hausweg 1;München;;80331;\n"
                           "ADR;TYPE=WORK:;;Werkstr. 2;Berlin;;10115;\n"
                           "NOTE:Erste Zeile\\nZweite Zeile\n"
                           "END:VCARD\n"
                           "BEGIN:VCARD\n"
                           "VERSION:3.0\n"
                           "FN:Anton Adler\n"
                           "TEL;TYPE=CELL:0160 444\n"
                           "TEL;TYPE=FAX:030 5555\n"
                           "BDAY:1980-04-15\n"
                           "END:VCARD\n"
                           "BEGIN:VCARD\n"
                           "END:VCARD\n";

// Card n of the fixture as the source view shows it: up to its END line, without the final line break.
QString cardSource(int n) {
    return QString::fromUtf8(Fixture).split(QStringLiteral("END:VCARD\n")).at(n) +
           QStringLiteral("END:VCARD");
}

const QStringList Labels = QStringLiteral("Name|Firma|Tel-Mobil|Tel-Privat|Tel-Arbeit|e-mail|"
                                          "Adresse|PLZ|Ort|Adr.Arbeit|PLZ|Ort|Notizen")
                               .split(QLatin1Char('|'));
// Rows of the list used by name below.
// The fixed rows come first, one per field in field order.
constexpr int rowOf(Field field) {
    return int(field);
}

QImage picture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    return image;
}

QByteArray pngOf(const QImage& image) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

} // namespace

class TestDetailWindow final : public QObject {
    Q_OBJECT
public slots:
    // Stands in for the desktop's handler of the schemes a link may have.
    void openUrl(const QUrl& url) { m_opened.append(url); }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void windowAndControlsFollowTheirEdges();

    void listShowsThirteenRowsInOrder_data();
    void listShowsThirteenRowsInOrder();
    void noContactGivesAnEmptyListAndNoCommands_data();
    void noContactGivesAnEmptyListAndNoCommands();
    void laterActivationLeavesTheViewAsItIs();

    void sourceShowsTheContactsOwnCard_data();
    void sourceShowsTheContactsOwnCard();
    void sourceOfAChangedFileIsNotShown();
    void sourceViewFollowsThePalette_data();
    void sourceViewFollowsThePalette();
    void unreadableCardIsReportedAndTheListStays_data();
    void unreadableCardIsReportedAndTheListStays();
    void hugeCardIsShownShortenedAndCopiedWhole_data();
    void hugeCardIsShownShortenedAndCopiedWhole();
    void toggleIsReleasedForTheNextContact();

    void copyPutsTheValueAloneOnTheClipboard_data();
    void copyPutsTheValueAloneOnTheClipboard();
    void doubleClickShowsLabelAndValue_data();
    void doubleClickShowsLabelAndValue();
    void dragCarriesTheValueAsText();
    void rowMenuOpensOnlyCallsMailsWebPagesAndPlaces_data();
    void rowMenuOpensOnlyCallsMailsWebPagesAndPlaces();
    void qrCodeCarriesTheContactToAPhone_data();
    void qrCodeCarriesTheContactToAPhone();
    void photoRowShowsThePictureAndCopiesIt();
    void pictureDecodedForAnEarlierContactIsDropped();
    void boxTextFitsOnTheScreen_data();
    void boxTextFitsOnTheScreen();
    void directionControlsAreShownAsMarksButCopiedAsRead();
    void otherContactsAreNamedAfterTheFixedRows_data();
    void otherContactsAreNamedAfterTheFixedRows();

    void closeHidesReturnHidesCloseBoxDestroys();

private:
    void open(qsizetype contact);
    void selectRow(int row);
    QStringList column(int c) const;
    void writeFile(const QByteArray& bytes);
    void reimport(const QByteArray& bytes);

    std::unique_ptr<TempFiles> m_files;
    QString m_path;
    FakeDialogs m_dialogs;
    QList<QUrl> m_opened;
    std::unique_ptr<ImportedLists> m_lists;
    std::unique_ptr<QAbstractItemModelTester> m_rowsTester;
    QPointer<DetailWindow> m_detail;
};

namespace {
const QStringList LinkSchemes{QStringLiteral("tel"),        QStringLiteral("mailto"), QStringLiteral("http"),
                              QStringLiteral("https"),      QStringLiteral("geo"),    QStringLiteral("file"),
                              QStringLiteral("javascript"), QStringLiteral("smb")};
} // namespace

void TestDetailWindow::initTestCase() {
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    for (const QString& scheme : LinkSchemes) {
        QDesktopServices::setUrlHandler(scheme, this, "openUrl");
    }
}

void TestDetailWindow::cleanupTestCase() {
    for (const QString& scheme : LinkSchemes) {
        QDesktopServices::unsetUrlHandler(scheme);
    }
}

void TestDetailWindow::init() {
    m_files = std::make_unique<TempFiles>();
    m_path = m_files->write(QStringLiteral("kontakte.vcf"), Fixture);
    m_dialogs.messages.clear();
    m_lists = std::make_unique<ImportedLists>(m_path);
    QCOMPARE(m_lists->result.status, VcardReadResult::Status::ReadToEnd);
    QCOMPARE(m_lists->contacts.rowCount(), 3);

    m_detail = new DetailWindow(m_dialogs);
    m_rowsTester = std::make_unique<QAbstractItemModelTester>(m_detail->list()->model());
}

void TestDetailWindow::cleanup() {
    m_rowsTester.reset();
    delete m_detail;
    m_lists.reset();
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QWidget* w : windows) {
        QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    }
}

void TestDetailWindow::writeFile(const QByteArray& bytes) {
    m_files->write(QStringLiteral("kontakte.vcf"), bytes);
}

void TestDetailWindow::reimport(const QByteArray& bytes) {
    writeFile(bytes);
    m_lists = std::make_unique<ImportedLists>(m_path);
    QCOMPARE(m_lists->result.status, VcardReadResult::Status::ReadToEnd);
}

void TestDetailWindow::open(qsizetype contact) {
    m_detail->showContact(contactOf(m_lists->result.table, contact));
}

void TestDetailWindow::selectRow(int row) {
    ListBox* liste = m_detail->list();
    QTest::mouseClick(liste->viewport(), Qt::LeftButton, {},
                      liste->visualRect(liste->model()->index(row, DetailRows::Value)).center());
    QCOMPARE(liste->selectedRow(), row);
}

QStringList TestDetailWindow::column(int c) const {
    const QAbstractItemModel* model = m_detail->list()->model();
    QStringList texts;
    for (int row = 0; row < model->rowCount(); ++row) {
        texts.append(model->index(row, c).data().toString());
    }
    return texts;
}

// --- window ---

void TestDetailWindow::windowAndControlsFollowTheirEdges() {
    // The sizes are the content's; a menu bar inside the window comes on top.
    const int menuHeight = m_detail->size().height() - m_detail->centralWidget()->height();
    QCOMPARE(m_detail->centralWidget()->size(), QSize(400, 410));
    QCOMPARE(m_detail->minimumSize(), QSize(400, 280));
    QCOMPARE(m_detail->maximumSize(), QSize(2048, 32000));
    open(0);

    const QList<std::tuple<QWidget*, QRect, QRect>> controls = {
        {m_detail->closeButton(), {300, 376, 80, 20}, {500, 466, 80, 20}},
        {m_detail->list(), {20, 14, 360, 344}, {20, 14, 560, 434}},
        {m_detail->hintLabel(), {20, 366, 196, 40}, {20, 456, 196, 40}},
        {m_detail->sourceButton(), {228, 376, 60, 22}, {428, 466, 60, 22}},
        {m_detail->sourceText(), {20, 14, 360, 344}, {20, 14, 560, 434}},
    };
    for (const auto& [control, designed, grown] : controls) {
        QCOMPARE(control->geometry(), designed);
    }
    m_detail->resize(600, 500 + menuHeight);
    for (const auto& [control, designed, grown] : controls) {
        QTRY_COMPARE(control->geometry(), grown);
    }
    ListBox* liste = m_detail->list();
    QCOMPARE(liste->columnWidth(0), 120);
    QCOMPARE(liste->columnWidth(0) + liste->columnWidth(1), liste->viewport()->width());
    QCOMPARE(liste->rowHeight(0), 24);
}

// --- the list ---

void TestDetailWindow::listShowsThirteenRowsInOrder_data() {
    QTest::addColumn<int>("contact");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<bool>("changed");        // the file changes before the window opens
    QTest::addColumn<QStringList>("further"); // "label|value" of the rows below the 13

    const QStringList zora =
        QStringLiteral("Zora Ziegler|Zeta GmbH|0171 1111111|089 2222|030 3333|"
                       "zora@example.org|Hausweg 1|80331|München|Werkstr. 2|10115|Berlin|"
                       "Erste Zeile\nZweite Zeile")
            .split(QLatin1Char('|'));
    QStringList anton(FieldCount, QString());
    anton[rowOf(Field::Name)] = QStringLiteral("Anton Adler");
    anton[rowOf(Field::MobilePhone)] = QStringLiteral("0160 444");
    const QStringList antonFurther{QStringLiteral("Fax|030 5555"), QStringLiteral("Geburtstag|15.04.1980")};
    QTest::newRow("every field") << 0 << zora << false << QStringList();
    QTest::newRow("no field") << 2 << QStringList(13, QString()) << false << QStringList();
    QTest::newRow("further rows") << 1 << anton << false << antonFurther;
    QTest::newRow("file changed: the 13 rows and why no more")
        << 1 << anton << true << QStringList(QStringLiteral("Hinweis|changed"));
}

void TestDetailWindow::listShowsThirteenRowsInOrder() {
    QFETCH(int, contact);
    QFETCH(QStringList, values);
    QFETCH(bool, changed);
    QFETCH(QStringList, further);
    if (changed) {
        writeFile(QByteArray(Fixture).replace("Anton Adler", "Anna Amsel-Adler"));
        further = QStringList(QStringLiteral("Hinweis|") + ImportMessages::changedSinceRead(m_path));
    }
    open(contact);
    QCOMPARE(column(DetailRows::Label).first(FieldCount), Labels);
    QCOMPARE(column(DetailRows::Value).first(FieldCount), values);
    QStringList rest;
    for (int row = FieldCount; row < column(DetailRows::Label).size(); ++row) {
        rest << column(DetailRows::Label).at(row) + u'|' + column(DetailRows::Value).at(row);
    }
    QCOMPARE(rest, further);
    QVERIFY(m_detail->list()->isVisible());
    QVERIFY(!m_detail->sourceText()->isVisible());
    QVERIFY(!m_detail->sourceButton()->isChecked());
}

void TestDetailWindow::noContactGivesAnEmptyListAndNoCommands_data() {
    QTest::addColumn<int>("contact");
    QTest::newRow("none (-1)") << -1;
    QTest::newRow("past the last one") << 3;
}

void TestDetailWindow::noContactGivesAnEmptyListAndNoCommands() {
    QFETCH(int, contact);
    open(contact);
    QCOMPARE(m_detail->list()->model()->rowCount(), 0);
    QVERIFY(!m_detail->copyValueAction()->isEnabled());

    QGuiApplication::clipboard()->setText(QStringLiteral("vorher"));
    QTRY_VERIFY(m_detail->isActiveWindow());
    QTest::keyClick(m_detail->list(), Qt::Key_Y, Qt::ControlModifier);
    QTest::mouseClick(m_detail->list()->viewport(), Qt::LeftButton, {}, {50, 50});
    QTest::mouseDClick(m_detail->list()->viewport(), Qt::LeftButton, {}, {50, 50});
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("vorher"));

    QTest::mouseClick(m_detail->sourceButton(), Qt::LeftButton);
    QVERIFY(m_detail->sourceText()->isVisible());
    QCOMPARE(m_detail->sourceText()->toPlainText(), QString());
    QCOMPARE(m_dialogs.messages, QStringList());
}

void TestDetailWindow::laterActivationLeavesTheViewAsItIs() {
    open(0);
    QTest::mouseClick(m_detail->sourceButton(), Qt::LeftButton);
    QVERIFY(m_detail->sourceText()->isVisible());
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(m_detail, &activate);
    QVERIFY(m_detail->sourceButton()->isChecked());
    QVERIFY(m_detail->sourceText()->isVisible());
    QCOMPARE(m_detail->list()->model()->rowCount(), FieldCount);
}

// --- the source view ---

void TestDetailWindow::sourceShowsTheContactsOwnCard_data() {
    QTest::addColumn<int>("contact");
    QTest::addColumn<bool>("toggled"); // as a screen reader's toggle action does, without a click

    QTest::newRow("first") << 0 << false;
    QTest::newRow("middle") << 1 << false;
    QTest::newRow("last") << 2 << false;
    QTest::newRow("middle, toggle action") << 1 << true;
}

void TestDetailWindow::sourceShowsTheContactsOwnCard() {
    QFETCH(int, contact);
    QFETCH(bool, toggled);
    open(contact);
    const auto press = [&] {
        if (toggled) {
            m_detail->sourceButton()->toggle();
        } else {
            QTest::mouseClick(m_detail->sourceButton(), Qt::LeftButton);
        }
    };
    press();
    QVERIFY(m_detail->sourceButton()->isChecked());
    QVERIFY(m_detail->sourceText()->isVisible());
    QVERIFY(!m_detail->list()->isVisible());
    QVERIFY(m_detail->sourceText()->isReadOnly());
    // Lines of a fixed-width font, broken only at the window's edge: "QUOTED-" and "PRINTABLE" on two lines
    // would read as two properties. Fixed width is what the eye needs, whatever the font calls itself.
    const QFontMetrics metrics(m_detail->sourceText()->font());
    QCOMPARE(metrics.horizontalAdvance(u'i'), metrics.horizontalAdvance(u'W'));
    QCOMPARE(m_detail->sourceText()->wordWrapMode(), QTextOption::WrapAnywhere);
    QCOMPARE(m_detail->sourceText()->toPlainText(), cardSource(contact));
    QCOMPARE(m_dialogs.messages, QStringList());
    press();
    QVERIFY(!m_detail->sourceText()->isVisible());
    QVERIFY(m_detail->list()->isVisible());
}

void TestDetailWindow::sourceViewFollowsThePalette_data() {
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

void TestDetailWindow::sourceViewFollowsThePalette() {
    QFETCH(bool, dark);
    const QPalette before = QApplication::palette();
    if (dark) {
        switchPalette(darkPalette(QColor(0xa0, 0xa0, 0xa0)));
    }
    const QPalette theme = QApplication::palette();
    const QPalette shown = m_detail->sourceText()->palette();
    switchPalette(before);
    QCOMPARE(shown.color(QPalette::Base), theme.color(QPalette::Base));
    QCOMPARE(shown.color(QPalette::Text), theme.color(QPalette::Text));
    QVERIFY(wcagContrast(shown.color(QPalette::Text), shown.color(QPalette::Base)) >= 4.5);
}

void TestDetailWindow::sourceOfAChangedFileIsNotShown() {
    open(1);
    QPushButton* toggle = m_detail->sourceButton();
    QTest::mouseClick(toggle, Qt::LeftButton);
    QCOMPARE(m_detail->sourceText()->toPlainText(), cardSource(1));

    QTest::mouseClick(toggle, Qt::LeftButton);
    QVERIFY(!toggle->isChecked());
    QVERIFY(m_detail->list()->isVisible());
    QVERIFY(!m_detail->sourceText()->isVisible());
    // The bytes at the card's old offsets now belong to another text: they are not shown. (The size
    // changes too, so the check does not depend on how fine the file system keeps modification times.)
    writeFile(QByteArray(Fixture).replace("Anton Adler", "Anna Amsel-Adler"));
    QTest::mouseClick(toggle, Qt::LeftButton);
    QVERIFY(!toggle->isChecked());
    QVERIFY(m_detail->list()->isVisible());
    QCOMPARE(m_dialogs.messages, QStringList{ImportMessages::changedSinceRead(m_path)});
}

void TestDetailWindow::unreadableCardIsReportedAndTheListStays_data() {
    QTest::addColumn<bool>("gone");
    QTest::addColumn<QString>("message");
    QTest::newRow("file gone") << true
                               << QStringLiteral("Die Datei „kontakte.vcf“ konnte nicht gelesen werden.\n"
                                                 "Die Datei existiert nicht.");
    QTest::newRow("card over 64 MB")
        << false << QStringLiteral("Die Karte ist 65 MB groß; die Quelltext-Ansicht zeigt Karten bis 64 MB.");
}

void TestDetailWindow::unreadableCardIsReportedAndTheListStays() {
    QFETCH(bool, gone);
    QFETCH(QString, message);
    if (gone) {
        open(0);
        QVERIFY(QFile::remove(m_path));
    } else {
        // The last card has no END line and so runs to the end of the file, which then grows by a hole
        // that takes no disk space.
        reimport("BEGIN:VCARD\nFN:A\nEND:VCARD\nBEGIN:VCARD\nFN:B\n");
        QFile file(m_path);
        QVERIFY(file.resize(CardLimits::CardBytes + (1 << 20)));
        open(1);
    }
    QTest::mouseClick(m_detail->sourceButton(), Qt::LeftButton);
    QCOMPARE(m_dialogs.messages, QStringList(message));
    QVERIFY(!m_detail->sourceButton()->isChecked());
    QVERIFY(m_detail->list()->isVisible());
    QVERIFY(!m_detail->sourceText()->isVisible());
    // A card too large to be read whole shows its 13 rows and a word why there are no more.
    QCOMPARE(column(DetailRows::Label).mid(FieldCount),
             gone ? QStringList() : QStringList(QStringLiteral("Hinweis")));
}

void TestDetailWindow::toggleIsReleasedForTheNextContact() {
    open(0);
    selectRow(rowOf(Field::MobilePhone));
    QTest::mouseClick(m_detail->sourceButton(), Qt::LeftButton);
    QVERIFY(m_detail->sourceText()->isVisible());
    QTest::mouseClick(m_detail->closeButton(), Qt::LeftButton);
    QVERIFY(m_detail);
    QVERIFY(m_detail->isHidden());

    open(1);
    QVERIFY(!m_detail->sourceButton()->isChecked());
    QVERIFY(m_detail->list()->isVisible());
    QVERIFY(!m_detail->sourceText()->isVisible());
    QCOMPARE(column(DetailRows::Value).at(rowOf(Field::Name)), QStringLiteral("Anton Adler"));
    QVERIFY(!m_detail->copyValueAction()->isEnabled());
    m_detail->hide();
}

void TestDetailWindow::hugeCardIsShownShortenedAndCopiedWhole_data() {
    QTest::addColumn<QByteArray>("property"); // lines between FN and END, each ending in CR LF
    QTest::addColumn<QString>("note");        // where the view is cut; empty: shown as it is

    QTest::newRow("ordinary card") << QByteArray("NOTE:kurz\r\nPHOTO;ENCODING=b:QUJD\r\n QUJD\r\n")
                                   << QString();
    QTest::newRow("CR CR LF line ends") << QByteArray("NOTE:kurz\r\r\nTEL:1\r\r\n") << QString();
    QTest::newRow("unbroken 500 KB line") << "NOTE:" + QByteArray(500'000, 'x') + "\r\n"
                                          << QStringLiteral("x… (498.005 Zeichen mehr)\n");
    QByteArray photo = "PHOTO;ENCODING=b:QUJD\r\n";
    for (int i = 0; i < 5000; ++i) {
        photo += ' ' + QByteArray(74, 'Q') + "\r\n";
    }
    QTest::newRow("photo folded over 5,000 lines")
        << photo << QStringLiteral("QQQ\n … (4.000 weitere Zeilen mit 300.000 Zeichen)\nEND:VCARD");
    QTest::newRow("40,000 short lines") << QByteArray("X-A:1234567\r\n").repeated(40'000)
                                        << QStringLiteral("567\nX-A:1234567\n… (noch 86.693 Zeichen)");
}

void TestDetailWindow::hugeCardIsShownShortenedAndCopiedWhole() {
    QFETCH(QByteArray, property);
    QFETCH(QString, note);
    const QByteArray card = "BEGIN:VCARD\r\nFN:Zora\r\n" + property + "END:VCARD";
    reimport(card + "\r\n");
    open(0);
    QTest::mouseClick(m_detail->sourceButton(), Qt::LeftButton);
    QCOMPARE(m_dialogs.messages, QStringList());
    QPlainTextEdit* view = m_detail->sourceText();
    QVERIFY(view->isVisible());
    const QString whole =
        QString::fromLatin1(card).replace(QRegularExpression(QStringLiteral("\r+\n")), QStringLiteral("\n"));
    const QString shown = view->toPlainText();
    if (note.isEmpty()) {
        QCOMPARE(shown, whole);
    } else {
        QVERIFY2(shown.contains(note), qPrintable(shown.right(200)));
        QVERIFY(shown.size() < SourceLimits::MaxViewChars + 3 * SourceLimits::MaxLineChars);
    }

    // Copying everything, or with nothing selected, gives the whole card, not what is shown.
    QTRY_VERIFY(m_detail->isActiveWindow());
    view->setFocus();
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), whole);
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    QVERIFY(view->textCursor().hasSelection());
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), whole);
    // A part is copied as shown.
    QTextCursor part = view->textCursor();
    part.setPosition(0);
    part.setPosition(5, QTextCursor::KeepAnchor);
    view->setTextCursor(part);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("BEGIN"));
}

// --- copy, double-click, drag ---

void TestDetailWindow::copyPutsTheValueAloneOnTheClipboard_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("value");
    QTest::newRow("Tel-Mobil") << int(rowOf(Field::MobilePhone)) << QStringLiteral("0171 1111111");
    QTest::newRow("Notizen") << int(rowOf(Field::Note)) << QStringLiteral("Erste Zeile\nZweite Zeile");
    QTest::newRow("second Ort") << int(rowOf(Field::WorkCity)) << QStringLiteral("Berlin");
}

void TestDetailWindow::copyPutsTheValueAloneOnTheClipboard() {
    QFETCH(int, row);
    QFETCH(QString, value);
    open(0);
    QVERIFY(!m_detail->copyValueAction()->isEnabled());
    selectRow(row);
    QVERIFY(m_detail->copyValueAction()->isEnabled());
    QGuiApplication::clipboard()->setText(QStringLiteral("vorher"));
    QTRY_VERIFY(m_detail->isActiveWindow()); // the shortcut belongs to the active window
    QTest::keyClick(m_detail->list(), Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), value);
    // "Kopieren" in the list copies the same value.
    QGuiApplication::clipboard()->setText(QStringLiteral("vorher"));
    QTest::keyClick(m_detail->list(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), value);

    // In the source view it copies the selected source text, or with nothing selected the whole card,
    // although the text area would otherwise take the keys as its own.
    QTest::mouseClick(m_detail->sourceButton(), Qt::LeftButton);
    QPlainTextEdit* view = m_detail->sourceText();
    QVERIFY(m_detail->copyValueAction()->isEnabled());
    view->setFocus();
    QTextCursor part = view->textCursor();
    part.setPosition(0);
    part.setPosition(5, QTextCursor::KeepAnchor);
    view->setTextCursor(part);
    QTest::keyClick(view, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("BEGIN"));
    view->moveCursor(QTextCursor::End);
    QTest::keyClick(view, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), view->toPlainText());
    QVERIFY(view->toPlainText().endsWith(QStringLiteral("END:VCARD")));
}

void TestDetailWindow::doubleClickShowsLabelAndValue_data() {
    QTest::addColumn<int>("contact");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("message");
    QTest::newRow("Tel-Mobil") << 0 << int(rowOf(Field::MobilePhone))
                               << QStringLiteral("Tel-Mobil:\n0171 1111111");
    QTest::newRow("empty value") << 1 << int(rowOf(Field::Company)) << QStringLiteral("Firma:\n");
}

void TestDetailWindow::doubleClickShowsLabelAndValue() {
    QFETCH(int, contact);
    QFETCH(int, row);
    QFETCH(QString, message);
    open(contact);
    selectRow(row);
    ListBox* liste = m_detail->list();
    QTest::mouseDClick(liste->viewport(), Qt::LeftButton, {},
                       liste->visualRect(liste->model()->index(row, DetailRows::Value)).center());
    QTRY_COMPARE(m_dialogs.messages, QStringList(message));
    // Space is the keyboard's double-click.
    QTest::keyClick(liste, Qt::Key_Space);
    QTRY_COMPARE(m_dialogs.messages, QStringList({message, message}));
}

void TestDetailWindow::dragCarriesTheValueAsText() {
    open(0);
    ListBox* liste = m_detail->list();
    QVERIFY(liste->dragEnabled());
    selectRow(rowOf(Field::HomePhone));
    const QModelIndexList dragged = liste->selectionModel()->selectedIndexes();
    QCOMPARE(dragged.size(), 2);
    for (const QModelIndex& index : dragged) {
        QVERIFY(index.flags().testFlag(Qt::ItemIsDragEnabled));
    }
    const std::unique_ptr<QMimeData> mime(liste->model()->mimeData(dragged));
    QVERIFY(mime);
    QCOMPARE(mime->text(), QStringLiteral("089 2222"));
}

void TestDetailWindow::rowMenuOpensOnlyCallsMailsWebPagesAndPlaces_data() {
    QTest::addColumn<QByteArray>("line"); // the card's one line besides its name
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("opened");  // by the first item; empty: nothing is opened
    QTest::addColumn<QString>("refused"); // the scheme no program takes; empty: every one is taken
    QTest::addColumn<QStringList>("messages");
    const QString copy = QStringLiteral("Wert kopieren");
    const QString map = QStringLiteral("Karte öffnen");
    const QString search = QStringLiteral("https://www.openstreetmap.org/search?query=");
    QTest::newRow("mobile number") << QByteArray("TEL;TYPE=CELL:+49 171 1") << rowOf(Field::MobilePhone)
                                   << QStringList{QStringLiteral("Anrufen"), copy}
                                   << QStringLiteral("tel:01711") << QString() << QStringList();
    QTest::newRow("further number") << QByteArray("TEL;TYPE=FAX:030 5") << 13
                                    << QStringList{QStringLiteral("Anrufen"), copy}
                                    << QStringLiteral("tel:0305") << QString() << QStringList();
    QTest::newRow("e-mail") << QByteArray("EMAIL:a@b.de") << rowOf(Field::Email)
                            << QStringList{QStringLiteral("E-Mail schreiben"), copy}
                            << QStringLiteral("mailto:a@b.de") << QString() << QStringList();
    QTest::newRow("web page") << QByteArray("URL:https://example.org") << 13
                              << QStringList{QStringLiteral("Webseite öffnen"), copy}
                              << QStringLiteral("https://example.org") << QString() << QStringList();
    QTest::newRow("place") << QByteArray("URL:geo:52.5,13.4") << 13 << QStringList{map, copy}
                           << QStringLiteral("geo:52.5,13.4") << QString() << QStringList();
    QTest::newRow("place shown in degrees") << QByteArray("GEO:52.5;-13.4") << 13 << QStringList{map, copy}
                                            << QStringLiteral("geo:52.5,-13.4") << QString() << QStringList();
    QTest::newRow("local file") << QByteArray("URL:file:///etc/passwd") << 13 << QStringList{copy}
                                << QString() << QString() << QStringList();
    QTest::newRow("script") << QByteArray("URL:javascript:alert(1)") << 13 << QStringList{copy} << QString()
                            << QString() << QStringList();
    QTest::newRow("network share") << QByteArray("URL:smb://server/share") << 13 << QStringList{copy}
                                   << QString() << QString() << QStringList();
    // Any cell of an address finds the whole address; a further address is one row.
    QTest::newRow("postal code") << QByteArray("ADR;TYPE=HOME:;;;;;80331;") << rowOf(Field::HomePostalCode)
                                 << QStringList{map, copy} << search + QStringLiteral("80331") << QString()
                                 << QStringList();
    QTest::newRow("street of the work address")
        << QByteArray("ADR;TYPE=WORK:;;Werkstr. 2;Berlin;;10115;") << rowOf(Field::WorkStreet)
        << QStringList{map, copy} << search + QStringLiteral("Werkstr.%202%2C%2010115%20Berlin") << QString()
        << QStringList();
    QTest::newRow("empty city of an address")
        << QByteArray("ADR;TYPE=HOME:;;Weg 1;;;;") << rowOf(Field::HomeCity) << QStringList{copy} << QString()
        << QString() << QStringList();
    QTest::newRow("further address")
        << QByteArray("ADR;TYPE=postal:;;Postfach 1;Bonn;;53111;\r\nADR;TYPE=HOME:;;Weg 1;;;;") << 13
        << QStringList{map, copy} << search + QStringLiteral("Postfach%201%2C%2053111%20Bonn") << QString()
        << QStringList();
    QTest::newRow("web page no program takes")
        << QByteArray("URL:https://example.org/a") << 13
        << QStringList{QStringLiteral("Webseite öffnen"), copy} << QString() << QStringLiteral("https")
        << QStringList{
               QStringLiteral("„https://example.org/a“ konnte nicht geöffnet werden: Kein Programm für "
                              "solche Adressen eingerichtet.")};
}

void TestDetailWindow::rowMenuOpensOnlyCallsMailsWebPagesAndPlaces() {
    QFETCH(QByteArray, line);
    QFETCH(int, row);
    QFETCH(QString, opened);
    QFETCH(QString, refused);
    reimport("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Eva\r\n" + line + "\r\nEND:VCARD\r\n");
    open(0);
    const std::unique_ptr<QMenu> menu(m_detail->rowMenu(row));
    QVERIFY(menu);
    QStringList items;
    QList<QAction*> valueItems;
    for (QAction* action : menu->actions()) {
        if (action->objectName() == QStringLiteral("showQrCode")) {
            break;
        }
        if (!action->isSeparator()) {
            items.append(action->text());
            valueItems.append(action);
        }
    }
    QTEST(items, "items");
    QCOMPARE(menu->actions().constLast()->text(), QStringLiteral("QR-Code …"));

    m_opened.clear();
    if (!refused.isEmpty()) {
        // A handler that cannot be called fails as the desktop does where no program takes the scheme.
        QDesktopServices::setUrlHandler(refused, this, "noSuchHandler");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("No such method")));
    }
    QGuiApplication::clipboard()->setText(QStringLiteral("vorher"));
    for (QAction* action : valueItems) {
        action->trigger();
    }
    if (!refused.isEmpty()) {
        QDesktopServices::setUrlHandler(refused, this, "openUrl");
    }
    QCOMPARE(QGuiApplication::clipboard()->text(),
             m_detail->list()->model()->index(row, DetailRows::Value).data().toString());
    QCOMPARE(m_opened, opened.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl(opened)});
    QTEST(m_dialogs.messages, "messages");
}

void TestDetailWindow::qrCodeCarriesTheContactToAPhone_data() {
    QTest::addColumn<QByteArray>("card");
    QTest::addColumn<int>("contact");
    QTest::addColumn<QStringList>("decoded"); // lines the phone reads
    QTest::addColumn<QString>("omitted");
    QTest::newRow("every field") << QByteArray() << 0 // the fixture's first contact
                                 << QStringList{QStringLiteral("FN:Zora Ziegler"),
                                                QStringLiteral("N:Ziegler;Zora;;;"),
                                                QStringLiteral("TEL;TYPE=CELL:+49 171 1111111"),
                                                QStringLiteral("EMAIL;TYPE=INTERNET:zora@example.org"),
                                                QStringLiteral("NOTE:Erste Zeile\\nZweite Zeile")}
                                 << QString();
    QTest::newRow("umlauts read as written")
        << QByteArray(
               "BEGIN:VCARD\r\nFN:J\xc3\xbcrgen M\xc3\xbcller\r\nTEL;TYPE=CELL:0171 2\r\nEND:VCARD\r\n")
        << 0 << QStringList{QStringLiteral("FN:Jürgen Müller"), QStringLiteral("TEL;TYPE=CELL:0171 2")}
        << QString();
    QTest::newRow("a note too long for the code is left out")
        << "BEGIN:VCARD\r\nFN:Eva Ek\r\nTEL;TYPE=CELL:0160 1\r\nTEL;TYPE=FAX:030 5\r\nNOTE:" +
               QByteArray(2400, 'x') + "\r\nEND:VCARD\r\n"
        << 0
        << QStringList{QStringLiteral("FN:Eva Ek"), QStringLiteral("TEL;TYPE=CELL:0160 1"),
                       QStringLiteral("TEL;TYPE=FAX:030 5")}
        << QStringLiteral("Nicht im QR-Code: Notizen");

    // Every contact of the sample: its name's parts and its numbers as its card writes them.
    QFile sample(qEnvironmentVariable("TOVANEL_TEST_DATA") + QStringLiteral("/../../examples/kontakte.vcf"));
    QVERIFY(sample.open(QIODevice::ReadOnly));
    const QByteArray contacts = sample.readAll();
    const std::array<QStringList, 12> facts{{
        {QStringLiteral("N:Müller;Jürgen;;;"), QStringLiteral("TEL;TYPE=CELL,PREF:+49 171 3920011"),
         QStringLiteral("TEL;TYPE=WORK,FAX:+49 89 99998199"),
         QStringLiteral("ADR;TYPE=HOME:;;Hauptstraße 5;München;;80331;Deutschland")},
        {QStringLiteral("N:Schäfer;Anna;;;"), QStringLiteral("TEL;TYPE=WORK:+49-30-23125456"),
         QStringLiteral("ORG:Bäckerei Schäfer GmbH;Verkauf")},
        {QStringLiteral("N:Weiß;Klaus;;Dr.;"), QStringLiteral("TEL;TYPE=WORK,PREF:+49 40 66969400")},
        {QStringLiteral("N:Öztürk;Sören;;;"), QStringLiteral("TEL;TYPE=CELL:0162 2951234")},
        {QStringLiteral("N:Groß;Lena;;;"), QStringLiteral("TEL;TYPE=CELL,VOICE,PREF:+49-176-04690123")},
        {QStringLiteral("N:Brandt;Heike;;;"), QStringLiteral("TEL;TYPE=HOME,PREF:+49 (0)221 4710456")},
        {QStringLiteral("N:von Bülow;Maximilian;;;"), QStringLiteral("TEL;TYPE=CELL,PREF:+49 172 3920789")},
        {QStringLiteral("N:Köhler;Ute;;;"), QStringLiteral("TEL;TYPE=WORK,FAX:+49 7551 99199")},
        {QStringLiteral("FN:Praxis Dr. Fuchs\\, Dr. Krüger"),
         QStringLiteral("TEL;TYPE=WORK,PREF:+49 511 4710321")},
        {QStringLiteral("N:Hoffmann;Tobias;;;"), QStringLiteral("TEL;TYPE=CELL:0176 04690654")},
        {QStringLiteral("N:Strauß;Margarete;;;"), QStringLiteral("TEL;TYPE=CELL:+43 664 1234567")},
        {QStringLiteral("N:Wagner;Jörg;;;"), QStringLiteral("TEL;TYPE=HOME:+49 (0)731 4710111")},
    }};
    for (int i = 0; i < int(facts.size()); ++i) {
        QTest::addRow("sample contact %d", i + 1) << contacts << i << facts[size_t(i)] << QString();
    }
}

void TestDetailWindow::qrCodeCarriesTheContactToAPhone() {
    QFETCH(QByteArray, card);
    QFETCH(int, contact);
    QFETCH(QStringList, decoded);
    const QString zbarimg = QStandardPaths::findExecutable(QStringLiteral("zbarimg"));
    if (zbarimg.isEmpty()) {
        QSKIP("zbarimg (zbar-tools) reads the code as a phone would; it is not installed");
    }
    if (!card.isEmpty()) {
        reimport(card);
    }
    open(contact);
    const std::unique_ptr<QMenu> menu(m_detail->rowMenu(0));
    QAction* show = menu->findChild<QAction*>(QStringLiteral("showQrCode"));
    QVERIFY(show);
    show->trigger();
    QPointer<QrCodeWindow> window = m_detail->findChild<QrCodeWindow*>(QStringLiteral("QrCode"));
    QVERIFY(window);
    QVERIFY(window->isVisible());
    const auto* picture = window->findChild<QLabel*>(QStringLiteral("qrPicture"));
    const QPixmap code = picture->pixmap();
    QVERIFY(code.width() >= 400); // large enough for a camera at arm's length
    const QString png = m_files->path(QStringLiteral("code.png"));
    QVERIFY(code.save(png, "PNG"));
    QProcess reader;
    reader.start(zbarimg, {QStringLiteral("--raw"), QStringLiteral("-q"), png});
    QVERIFY(reader.waitForFinished(30'000));
    QByteArray text = reader.readAllStandardOutput();
    QVERIFY(text.endsWith('\n')); // zbarimg ends what it read with a line feed of its own
    text.chop(1);
    QCOMPARE(text, window->cardText());
    const QStringList lines = QString::fromUtf8(text).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.first(), QStringLiteral("BEGIN:VCARD"));
    for (const QString& line : decoded) {
        QVERIFY2(lines.contains(line), qPrintable(line));
    }
    QVERIFY(std::none_of(lines.cbegin(), lines.cend(),
                         [](const QString& l) { return l.startsWith(QStringLiteral("PHOTO")); }));
    QTEST(window->findChild<QLabel*>(QStringLiteral("qrOmitted"))->text(), "omitted");
    window->close();
    QTRY_VERIFY(!window);

    // The command-line tool prints the same card, numbering the contacts from 1.
    const QString bench = qEnvironmentVariable("TOVANEL_BENCH");
    if (!bench.isEmpty() && QFile::exists(bench)) {
        QProcess portable;
        portable.start(bench, {QStringLiteral("portable"), m_path, QString::number(contact + 1)});
        QVERIFY(portable.waitForFinished(30'000));
        QCOMPARE(portable.exitCode(), 0);
        QCOMPARE(portable.readAllStandardOutput(), text);
    }
}

// A photo row shows the picture, at most 120 pixels high; it is copied and dragged as the picture.
void TestDetailWindow::photoRowShowsThePictureAndCopiesIt() {
    const QImage image = picture(400, 300);
    const QByteArray png = pngOf(image);
    reimport("BEGIN:VCARD\nFN:Zora\nTEL;PREF:030 1\nPHOTO;ENCODING=b;TYPE=PNG:" + png.toBase64() +
             "\nEND:VCARD\n");
    open(0);
    ListBox* liste = m_detail->list();
    const int photo = 14;
    QCOMPARE(column(DetailRows::Label).mid(FieldCount),
             (QStringList{QStringLiteral("Telefon"), QStringLiteral("Foto")}));
    QVERIFY(liste->model()->index(FieldCount, DetailRows::Value).data(Qt::FontRole).value<QFont>().bold());
    // The picture is decoded after the list is shown; until then the row shows its size.
    QTRY_COMPARE(
        liste->model()->index(photo, DetailRows::Value).data(Qt::DecorationRole).value<QPixmap>().size(),
        QSize(160, 120));
    QVERIFY(liste->rowHeight(photo) >= 120);

    selectRow(photo);
    QTRY_VERIFY(m_detail->isActiveWindow());
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(liste, Qt::Key_Y, Qt::ControlModifier);
    QTRY_COMPARE(QGuiApplication::clipboard()->image().size(), image.size());
    const std::unique_ptr<QMimeData> mime(
        liste->model()->mimeData(liste->selectionModel()->selectedIndexes()));
    QCOMPARE(qvariant_cast<QImage>(mime->imageData()).size(), image.size());
    QCOMPARE(mime->text(), QStringLiteral("[Bild 400x300]"));
    QTest::mouseDClick(liste->viewport(), Qt::LeftButton, {},
                       liste->visualRect(liste->model()->index(photo, DetailRows::Value)).center());
    QTRY_COMPARE(m_dialogs.messages, QStringList(QStringLiteral("Foto:\n[Bild 400x300]")));
}

// A photo is decoded on another thread; the list may show another contact by the time it is done, and
// then the decoding stops.
void TestDetailWindow::pictureDecodedForAnEarlierContactIsDropped() {
    CardRow photo;
    photo.label = QStringLiteral("Foto");
    photo.value = QStringLiteral("[Bild 400x300]");
    photo.photo = pngOf(picture(400, 300));
    CardRow fax;
    fax.label = QStringLiteral("Fax");
    fax.value = QStringLiteral("030 5555");
    // The pool's one thread is held until the second contact is shown, so the decoding cannot end before.
    QThreadPool* pool = QThreadPool::globalInstance();
    const int threads = pool->maxThreadCount();
    pool->setMaxThreadCount(1);
    QSemaphore held;
    pool->start([&held] { held.acquire(); });
    DetailRows rows;
    rows.setRows({photo});
    const QList<QFutureWatcherBase*> decoding = rows.findChildren<QFutureWatcherBase*>();
    QCOMPARE(decoding.size(), 1);
    rows.setRows({fax});
    // Not just dropped when it comes: the decoding is stopped.
    QVERIFY(decoding.first()->isCanceled());
    held.release();
    pool->waitForDone();
    pool->setMaxThreadCount(threads);
    QTRY_VERIFY(rows.findChildren<QFutureWatcherBase*>().isEmpty());
    QCOMPARE(rows.index(0, DetailRows::Value).data(Qt::DecorationRole), QVariant());
    QCOMPARE(rows.index(0, DetailRows::Value).data().toString(), QStringLiteral("030 5555"));
}

void TestDetailWindow::boxTextFitsOnTheScreen_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("box");
    const QString x = QStringLiteral("x");
    const QString line = QStringLiteral("Zeile\n");
    QTest::newRow("short") << QStringLiteral("a\nb") << QStringLiteral("Notizen:\na\nb");
    QTest::newRow("exactly 30 lines")
        << line.repeated(28) + x << QStringLiteral("Notizen:\n") + line.repeated(28) + x;
    QTest::newRow("40 lines") << line.repeated(40)
                              << QStringLiteral("Notizen:\n") + line.repeated(28) + QStringLiteral("Zeile…");
    QTest::newRow("200 KB note, cut at 2,000 characters")
        << (x.repeated(99) + u'\n').repeated(2000)
        << QStringLiteral("Notizen:\n") + (x.repeated(99) + u'\n').repeated(19) + x.repeated(91) + u'…';
    // Lines of 101 characters wrap in two.
    QTest::newRow("lines that wrap count twice")
        << (x.repeated(101) + u'\n').repeated(20)
        << QStringLiteral("Notizen:\n") + (x.repeated(101) + u'\n').repeated(14) + x.repeated(100) + u'…';
}

void TestDetailWindow::boxTextFitsOnTheScreen() {
    QFETCH(QString, value);
    QFETCH(QString, box);
    QCOMPARE(boxText(QStringLiteral("Notizen"), value), box);
}

void TestDetailWindow::directionControlsAreShownAsMarksButCopiedAsRead() {
    // "gnp.exe" behind a right-to-left override would read "exe.png".
    const QString name = QStringLiteral("\u202Egnp.exe \u2066x\u2069");
    const QString shown = QStringLiteral("\uFFFDgnp.exe \uFFFDx\uFFFD");
    reimport("BEGIN:VCARD\nFN:" + name.toUtf8() + "\nEND:VCARD\n");
    QCOMPARE(m_lists->contacts.index(0, ContactColumn::Name).data().toString(), shown);
    QCOMPARE(m_lists->contacts.cell(0, ContactColumn::Name), name);
    open(0);
    QCOMPARE(column(DetailRows::Value).at(rowOf(Field::Name)), shown);

    selectRow(rowOf(Field::Name));
    const std::unique_ptr<QMimeData> mime(
        m_detail->list()->model()->mimeData(m_detail->list()->selectionModel()->selectedIndexes()));
    QCOMPARE(mime->text(), name);
    QTRY_VERIFY(m_detail->isActiveWindow());
    QTest::keyClick(m_detail->list(), Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), name);
    ListBox* liste = m_detail->list();
    QTest::mouseDClick(
        liste->viewport(), Qt::LeftButton, {},
        liste->visualRect(liste->model()->index(rowOf(Field::Name), DetailRows::Value)).center());
    QTRY_COMPARE(m_dialogs.messages, QStringList(QStringLiteral("Name:\n") + shown));

    QTest::mouseClick(m_detail->sourceButton(), Qt::LeftButton);
    QCOMPARE(m_detail->sourceText()->toPlainText(),
             QStringLiteral("BEGIN:VCARD\nFN:") + shown + QStringLiteral("\nEND:VCARD"));
}

// --- duplicates ---

void TestDetailWindow::otherContactsAreNamedAfterTheFixedRows_data() {
    QTest::addColumn<QList<QByteArray>>("files"); // a list of one file, or of several
    QTest::addColumn<int>("contact");
    QTest::addColumn<QStringList>("further"); // "label|value" of the rows below the 13

    const auto card = [](const QByteArray& lines) { return "BEGIN:VCARD\n" + lines + "\nEND:VCARD\n"; };
    const QByteArray zora = card("FN:Zora\nTEL;TYPE=CELL:0171 1111111\nBDAY:1980-04-15");
    const QByteArray twin = card("FN:Zora Z.\nTEL;TYPE=HOME:+49 171 1111111");
    QTest::newRow("one file: the name alone, before the card's rows")
        << QList<QByteArray>{zora + card("FN:Anton") + twin} << 0
        << QStringList{QStringLiteral("Auch in|Zora Z."), QStringLiteral("Geburtstag|15.04.1980")};
    QTest::newRow("several files: with the file's name, a nameless one by its number")
        << QList<QByteArray>{zora + card("TEL;TYPE=WORK:0171-1111111"), card("FN:Anton") + twin} << 0
        << QStringList{QStringLiteral("Auch in|0171-1111111 (1.vcf); Zora Z. (2.vcf)"),
                       QStringLiteral("Geburtstag|15.04.1980")};
    QByteArray many;
    QStringList named;
    for (int i = 1; i <= MaxSameContactsNamed + 3; ++i) {
        many += card("FN:Kontakt " + QByteArray::number(i) + "\nUID:derselbe");
        if (i > 1 && i <= MaxSameContactsNamed + 1) {
            named << QStringLiteral("Kontakt %1").arg(i);
        }
    }
    QTest::newRow("more than 20: counted")
        << QList<QByteArray>{many} << 0
        << QStringList(QStringLiteral("Auch in|") + named.join(u"; ") + QStringLiteral(" und 2 weitere"));
    QTest::newRow("no duplicate: no row")
        << QList<QByteArray>{zora + card("FN:Anton") + twin} << 1 << QStringList();
    // A relation by UID names the contact the list holds under it, and stays as written otherwise.
    const QByteArray spouse = card("FN:Eva\nRELATED;TYPE=spouse:urn:uuid:03a0e51f");
    QTest::newRow("relation to a listed contact: by its name")
        << QList<QByteArray>{spouse + card("FN:Tom\nUID:03A0E51F")} << 0
        << QStringList{QStringLiteral("Ehepartner(in)|Tom")};
    QTest::newRow("relation to a contact not listed: its UID")
        << QList<QByteArray>{spouse + card("FN:Tom\nUID:03a0e51")} << 0
        << QStringList{QStringLiteral("Ehepartner(in)|urn:uuid:03a0e51f")};
}

void TestDetailWindow::otherContactsAreNamedAfterTheFixedRows() {
    QFETCH(QList<QByteArray>, files);
    QFETCH(int, contact);
    QFETCH(QStringList, further);
    // A list of several files is one table of them all, as the import builds it.
    std::shared_ptr<ContactTable> table;
    for (int i = 0; i < files.size(); ++i) {
        const QString path = m_files->write(QStringLiteral("%1.vcf").arg(i + 1), files.at(i));
        VcardReadResult read = readVcardFile(path);
        if (files.size() == 1) {
            table = read.table;
            m_path = path;
            break;
        }
        if (!table) {
            table = std::make_shared<ContactTable>();
        }
        table->appendFile(*read.table);
    }
    table->setDuplicateGroups(findDuplicateGroups(*table));
    m_detail->showContact(contactOf(table, contact));
    QStringList rest;
    for (int row = FieldCount; row < column(DetailRows::Label).size(); ++row) {
        rest << column(DetailRows::Label).at(row) + u'|' + column(DetailRows::Value).at(row);
    }
    QCOMPARE(rest, further);
    if (further.isEmpty()) {
        return;
    }
    // A screen reader reads the row as any other: label and value.
    installListBoxAccessibility();
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(m_detail->list());
    QVERIFY(list && list->tableInterface());
    for (const int c : {int(DetailRows::Label), int(DetailRows::Value)}) {
        QAccessibleInterface* cell = list->tableInterface()->cellAt(FieldCount, c);
        QVERIFY(cell);
        QCOMPARE(cell->text(QAccessible::Name), further.first().section(u'|', c, c));
    }
}

// --- closing ---

void TestDetailWindow::closeHidesReturnHidesCloseBoxDestroys() {
    open(0);
    QVERIFY(m_detail->closeButton()->isDefault());
    QTest::keyClick(m_detail->list(), Qt::Key_Return);
    QVERIFY(m_detail);
    QVERIFY(m_detail->isHidden());
    QCOMPARE(m_detail->list()->model()->rowCount(), FieldCount);

    // "Schließen" (Ctrl+W) closes the front window like its button.
    open(1);
    QTRY_VERIFY(m_detail->isActiveWindow());
    QTest::keyClick(m_detail->list(), Qt::Key_W, Qt::ControlModifier);
    QVERIFY(m_detail);
    QVERIFY(m_detail->isHidden());

    // Escape closes it too, from the list and from the source text.
    for (const bool source : {false, true}) {
        open(1);
        QWidget* focus = m_detail->list();
        if (source) {
            QTest::mouseClick(m_detail->sourceButton(), Qt::LeftButton);
            focus = m_detail->sourceText();
            focus->setFocus();
        }
        QTest::keyClick(focus, Qt::Key_Escape);
        QVERIFY(m_detail);
        QVERIFY(m_detail->isHidden());
    }

    open(1);
    m_detail->close();
    QTRY_VERIFY(m_detail.isNull());
}

QTEST_MAIN(TestDetailWindow)
#include "tst_detailwindow.moc"
