// tovanel-viewbench: drives the real main window (offscreen unless a platform is chosen) through a big
// file and prints how long each step takes until its events are handled and the window has repainted.
#include "contactlist/contactlistmodel.h"
#include "contactlist/listkeys.h"
#include "detailwindow/detailwindow.h"
#include "generator.h"
#include "mainwindow/mainwindow.h"
#include "menubar/appmenubar.h"
#include "platform/dialogs.h"
#include "platform/listbox.h"
#include "procmemory.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <memory>
#include <sys/resource.h>
#include <vector>

using namespace tovanel;

namespace {

class QuietDialogs final : public Dialogs {
public:
    void message(const QString& text) override { messages << text; }
    QString openFile(const QString&) override { return {}; }
    QStringList messages;
};

double msSince(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

// Processor time of this process. The machine's two cores are shared with other work, so a step's wall
// time includes waiting for a core; its processor time does not.
double cpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

struct Times {
    double wallMs;
    double cpuMs;
};

// Lets every queued event through, then paints `widget` at once: what the user would see next.
void settle(QWidget* widget) {
    QCoreApplication::processEvents();
    widget->repaint();
}

int failures = 0;

// `note` describes the state after the step; it is asked for only after the step was measured.
void report(const char* name, Times times, double targetMs, const std::function<QString()>& note = {}) {
    const QString text = note ? note() : QString();
    const bool ok = times.wallMs <= targetMs;
    failures += ok ? 0 : 1;
    std::printf("%-28s %8.1f ms  (cpu %7.1f ms)   target <= %4.0f ms   %s%s%s\n", name, times.wallMs,
                times.cpuMs, targetMs, ok ? "ok" : "MISSED", text.isEmpty() ? "" : "   ",
                text.toUtf8().constData());
    std::fflush(stdout);
}

// Runs `action` and returns the milliseconds until the window has handled it and repainted.
Times timed(QWidget* window, const std::function<void()>& action) {
    QElapsedTimer timer;
    timer.start();
    const double cpu = cpuMs();
    action();
    settle(window);
    return {msSince(timer), cpuMs() - cpu};
}

// The list seen the user's way: columns added, names turned round, the birthdays window.
void viewSteps(MainWindow& window) {
    AppMenuBar* menus = window.appMenuBar();
    ContactListModel* model = window.contactModel();
    window.filterField()->clear();
    settle(&window);
    const auto firstCell = [model](int column) {
        return [model, column] { return QStringLiteral("first: %1").arg(model->cell(0, column)); };
    };
    report("show column Geburtstag",
           timed(&window, [&] { menus->columnAction(ContactColumn::Birthday)->trigger(); }), 300,
           firstCell(ContactColumn::Birthday));
    report("show column Gruppen",
           timed(&window, [&] { menus->columnAction(ContactColumn::Groups)->trigger(); }), 300,
           firstCell(ContactColumn::Groups));
    report("show column Land",
           timed(&window, [&] { menus->columnAction(ContactColumn::Country)->trigger(); }), 300,
           firstCell(ContactColumn::Country));
    report("names Nachname, Vorname", timed(&window, [&] { menus->familyFirstAction()->trigger(); }), 300,
           firstCell(ContactColumn::Name));
    report("names Vorname Nachname", timed(&window, [&] { menus->givenFirstAction()->trigger(); }), 300,
           firstCell(ContactColumn::Name));
    report("Geburtstage window", timed(&window, [&] { menus->birthdaysAction()->trigger(); }), 300);
    const qsizetype bytes = model->table().bytesUsed();
    std::printf("%-28s %8.1f MB in the table with groups and birthdays (%.1f bytes per contact)\n",
                "table memory", double(bytes) / 1e6,
                double(bytes) / double(std::max<qsizetype>(1, model->contactCount())));
    std::fflush(stdout);
    report("sort by name, family first",
           timed(&window,
                 [&] {
                     menus->familyFirstAction()->trigger();
                     model->sort(ContactColumn::Name);
                 }),
           2000, firstCell(ContactColumn::Name));
    report("names turned, sorted by name", timed(&window, [&] { menus->givenFirstAction()->trigger(); }),
           2000, firstCell(ContactColumn::Name));
}

int usage() {
    std::fprintf(stderr,
                 "usage: tovanel-viewbench [FILE | N [SEED]]\n"
                 "       tovanel-viewbench long-cell MB\n"
                 "       tovanel-viewbench long-search\n"
                 "       tovanel-viewbench files PATH...\n"
                 "       tovanel-viewbench replace LARGE SMALL\n"
                 "       tovanel-viewbench print-preview FILE\n"
                 "  FILE         a vCard file to open\n"
                 "  N            generate N cards (default 1000000) with SEED (default 11) into a temporary\n"
                 "               file; the last card gets a name no other card has\n"
                 "  long-cell    one contact among three whose name, company and e-mail are MB megabytes\n"
                 "               each: the list shown, a click on the row, Ctrl+C, a tooltip, a sort\n"
                 "  long-search  a 1 MB file of one card with long runs of one letter and one digit,\n"
                 "               searched for with 10,001 characters that differ only in the last\n"
                 "  replace      SMALL opened, LARGE in its place, SMALL again: what stays resident\n"
                 "  files        files and folders opened as one list, as a launch with them does\n");
    return 2;
}

double peakRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

QString peakNote() {
    return QStringLiteral("peak %1 MB").arg(peakRssMb(), 0, 'f', 0);
}

// Writes the pieces one after another, so that no copy of the whole file is held in memory.
bool writeFile(const QString& path, const QList<QByteArray>& pieces) {
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly)) {
        return false;
    }
    for (const QByteArray& piece : pieces) {
        if (out.write(piece) != piece.size()) {
            return false;
        }
    }
    return true;
}

// Shows `file` in `window`; returns the time from the table's hand-over to the repainted list.
Times importShown(MainWindow& window, const QString& file) {
    QElapsedTimer clock;
    clock.start();
    qint64 handedOver = 0;
    double handedOverCpu = 0;
    const QMetaObject::Connection watch =
        QObject::connect(window.contactModel(), &QAbstractItemModel::modelAboutToBeReset, &window, [&] {
            handedOver = clock.nsecsElapsed();
            handedOverCpu = cpuMs();
        });
    window.openFile(file);
    settle(&window);
    QObject::disconnect(watch);
    return {double(clock.nsecsElapsed() - handedOver) / 1e6, cpuMs() - handedOverCpu};
}

int longCell(MainWindow& window, QuietDialogs& dialogs, const QString& file, int megabytes) {
    const QByteArray run(qsizetype(megabytes) << 20, 'x');
    if (!writeFile(file, {"BEGIN:VCARD\r\nFN:Anna\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:M", run, "\r\nORG:F", run,
                          "\r\nEMAIL:e", run,
                          "@example.org\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:Zora\r\nEND:VCARD\r\n"})) {
        return 1;
    }
    std::printf("file: %d MB name, company and e-mail; peak before the import %.0f MB\n", megabytes,
                peakRssMb());
    report("import end -> list shown", importShown(window, file), 1000, peakNote);
    ContactListModel* model = window.contactModel();
    ListBox* list = window.contactList();
    if (model->rowCount() != 3) {
        std::printf("%d rows, messages: %s\n", model->rowCount(), qPrintable(dialogs.messages.join(u'|')));
        return 1;
    }
    report("repaint", timed(&window, [&] { list->viewport()->repaint(); }), 100, peakNote);
    const QRect row = list->visualRect(model->index(1, ContactColumn::Name));
    report("select the row (click)",
           timed(&window, [&] { QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center()); }),
           100, peakNote);
    report(
        "Ctrl+C", timed(&window, [&] { QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier); }), 1000, [&] {
            return QStringLiteral("%1 characters copied, ").arg(QGuiApplication::clipboard()->text().size()) +
                   peakNote();
        });
    // A drag's data holds the row's text and, up to the size the detail rows read, the card itself.
    std::unique_ptr<QMimeData> dragged;
    report("drag data", timed(&window, [&] { dragged.reset(list->createDragData()); }), 1000, [&] {
        return QStringLiteral("%1 bytes of text/vcard, ")
                   .arg(dragged ? dragged->data(QStringLiteral("text/vcard")).size() : 0) +
               peakNote();
    });
    dragged.reset();
    report("tooltip of the name",
           timed(&window,
                 [&] {
                     QHelpEvent help(QEvent::ToolTip, row.center(),
                                     list->viewport()->mapToGlobal(row.center()));
                     QCoreApplication::sendEvent(list->viewport(), &help);
                 }),
           100, peakNote);
    report("sort by Name",
           timed(&window, [&] { list->sortByColumn(ContactColumn::Name, Qt::AscendingOrder); }), 1000,
           peakNote);
    return 0;
}

int longSearch(MainWindow& window, QuietDialogs& dialogs, const QString& file) {
    if (!writeFile(file,
                   {"BEGIN:VCARD\r\nFN:", QByteArray(400'000, 'a'), "\r\nORG:", QByteArray(300'000, 'a'),
                    "\r\nTEL;CELL:", QByteArray(300'000, '1'), "\r\nEND:VCARD\r\n"})) {
        return 1;
    }
    importShown(window, file);
    const auto search = [&](const QString& text) {
        window.searchField()->setText(text);
        dialogs.messages.clear();
        return timed(&window, [&] { QTest::keyClick(window.searchField(), Qt::Key_Return); });
    };
    const auto message = [&] { return dialogs.messages.value(0); };
    report("10,001 letters, Return", search(QString(10'000, u'A') + u'b'), 200, message);
    report("10,001 letters with ß", search(QString(5'000, u'ß') + u'b'), 200, message);
    report("10,001 digits, Return", search(QString(10'000, u'1') + u'2'), 200, message);
    report("10,001 letters found", search(QString(10'001, u'A')), 200,
           [&] { return QStringLiteral("row %1").arg(window.selected()); });
    return 0;
}

// Types one character into `field` as the keyboard does; Qt's key codes for letters and digits are their
// upper-case Latin-1 code points.
void typeCharacter(QLineEdit* field, QChar character) {
    QTest::sendKeyEvent(QTest::Click, field, Qt::Key(character.toUpper().unicode()), QString(character), {});
}

QString joined(const std::vector<double>& values) {
    QStringList parts;
    for (double value : values) {
        parts << QString::number(value, 'f', 1);
    }
    return parts.join(u',');
}

// The filter above the list: a name typed a character at a time, Escape, each quick filter, a number and
// a sort while a filter holds. Before each step the allocator gives its free pages back, so that the
// peak above what is resident then is what the step itself took; the filter's figure is the largest of
// its steps per contact, the sort's is its own.
void filterSteps(MainWindow& window, int contacts) {
    QLineEdit* field = window.filterField();
    const auto shown = [&] { return window.countLabel()->text(); };
    window.appMenuBar()->filterAction()->trigger();
    settle(&window);

    double filterPeakMb = 0;
    const auto step = [&](const QString& name, double targetMs, const std::function<void()>& action) {
        malloc_trim(0);
        const double beforeMb = statusMb("VmRSS:");
        resetPeakRss();
        const Times times = timed(&window, action);
        const double aboveMb = statusMb("VmHWM:") - beforeMb;
        filterPeakMb = std::max(filterPeakMb, aboveMb);
        report(qPrintable(name), times, targetMs,
               [&] { return shown() + QStringLiteral(", peak +%1 MB").arg(aboveMb, 0, 'f', 1); });
        return times.wallMs;
    };
    std::vector<double> characters;
    std::vector<double> number;
    const auto type = [&](const QString& text, std::vector<double>& into) {
        QString typed;
        for (const QChar character : text) {
            typed += character;
            into.push_back(step(QStringLiteral("filter \"%1\"").arg(typed), 100,
                                [&] { typeCharacter(field, character); }));
        }
    };
    type(QStringLiteral("müll"), characters);
    const double clearMs =
        step(QStringLiteral("filter cleared (Escape)"), 100, [&] { QTest::keyClick(field, Qt::Key_Escape); });

    std::vector<double> quick;
    QStringList quickNames;
    const QList<QAction*> actions = window.appMenuBar()->quickFilters()->actions();
    // Each from the one before, which it does not narrow, and then back to all contacts.
    for (qsizetype i = 1; i <= actions.size(); ++i) {
        QAction* action = actions.at(i % actions.size());
        quick.push_back(step(action->objectName(), 200, [&] { action->trigger(); }));
        quickNames << action->objectName();
    }
    type(QStringLiteral("0171"), number);
    step(QStringLiteral("filter cleared (Escape)"), 100, [&] { QTest::keyClick(field, Qt::Key_Escape); });
    const double bytesPerContact = filterPeakMb * 1024.0 * 1024.0 / contacts;
    std::printf("%-28s %8.1f MB at most: %.1f bytes per contact   target <= 8   %s\n", "filter memory (peak)",
                filterPeakMb, bytesPerContact, bytesPerContact <= 8 ? "ok" : "MISSED");
    failures += bytesPerContact <= 8 ? 0 : 1;

    field->setText(QStringLiteral("m"));
    settle(&window);
    QHeaderView* header = window.contactList()->horizontalHeader();
    const QPoint nameHeading(header->sectionViewportPosition(ContactColumn::Name) +
                                 header->sectionSize(ContactColumn::Name) / 2,
                             header->height() / 2);
    const double sortMs = step(QStringLiteral("sort by Name, filter \"m\""), 2000, [&] {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, nameHeading);
    });
    std::printf("%-28s first: %s\n", "", qPrintable(window.contactModel()->cell(0, ContactColumn::Name)));
    QTest::mouseClick(window.clearSortLabel(), Qt::LeftButton);
    QTest::keyClick(field, Qt::Key_Escape);
    settle(&window);

    std::printf("filter_char_ms=%s filter_clear_ms=%.1f quick_filter_ms=%s (%s) filter_number_ms=%s "
                "filter_sort_ms=%.1f filter_bytes_per_contact=%.1f\n",
                qPrintable(joined(characters)), clearMs, qPrintable(joined(quick)),
                qPrintable(quickNames.join(u',')), qPrintable(joined(number)), sortMs, bytesPerContact);
}

// Files and folders opened as one list, from the call until the list is repainted.
int openSeveral(MainWindow& window, QuietDialogs& dialogs, const QStringList& paths) {
    const double cpu = cpuMs();
    QElapsedTimer clock;
    clock.start();
    window.openFiles(paths);
    settle(&window);
    const Times opened{msSince(clock), cpuMs() - cpu};
    const int files = window.contactModel()->table().fileCount();
    const QString note = QStringLiteral("%1 files, %2, title \"%3\", peak %4 MB, messages: %5")
                             .arg(files)
                             .arg(window.countLabel()->text(), window.windowTitle())
                             .arg(peakRssMb(), 0, 'f', 0)
                             .arg(dialogs.messages.join(QStringLiteral(" | ")));
    // The target is for many small files; a list of big ones takes as long as their reading.
    if (files >= 1000 && window.contactModel()->contactCount() == files) {
        report("open 1,000+ one-card files", opened, 1000, [&] { return note; });
    } else {
        std::printf("%-28s %8.1f ms  (cpu %7.1f ms)   %s\n", "open as one list", opened.wallMs, opened.cpuMs,
                    note.toUtf8().constData());
    }
    return files > 0 ? 0 : 1;
}

// A large list replaced by a small one: how much more stays resident than with the small list alone.
int replaceList(MainWindow& window, const QString& large, const QString& small) {
    window.openFile(small);
    settle(&window);
    const double fresh = statusMb("VmRSS:");
    window.openFile(large);
    settle(&window);
    const double withLarge = statusMb("VmRSS:");
    window.openFile(small);
    settle(&window);
    const double after = statusMb("VmRSS:");
    std::printf("replace: rss_small_mb=%.1f rss_large_mb=%.1f rss_small_after_large_mb=%.1f kept_mb=%.1f "
                "(target 64)\n",
                fresh, withLarge, after, after - fresh);
    if (after - fresh > 64) {
        ++failures;
    }
    return 0;
}

// "Drucken …" on the list: the time until the preview shows its pages, the memory the preview holds and
// what stays after it is closed.
int printPreview(MainWindow& window, const QString& file) {
    window.openFile(file);
    settle(&window);
    const double listMb = statusMb("VmRSS:");
    resetPeakRss();
    QElapsedTimer clock;
    clock.start();
    double shownMs = -1;
    int pages = 0;
    QString title;
    QTimer::singleShot(0, &window, [&] {
        QPrintPreviewDialog* preview = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT(
            (preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget())), 120000);
        const auto* view = preview->findChild<QPrintPreviewWidget*>();
        QTRY_VERIFY_WITH_TIMEOUT(view->pageCount() > 0, 120000);
        shownMs = double(clock.nsecsElapsed()) / 1e6;
        pages = view->pageCount();
        title = preview->windowTitle();
        preview->reject();
    });
    window.appMenuBar()->printAction()->trigger();
    settle(&window);
    const double peakMb = statusMb("VmHWM:");
    const double afterMb = statusMb("VmRSS:");
    std::printf("print preview: %d contacts, shown after %.0f ms, %d pages in the preview (\"%s\"), "
                "preview_peak_above_list_mb=%.1f after_close_above_list_mb=%.1f (target: under 200 MB, "
                "given back)\n",
                window.contactModel()->rowCount(), shownMs, pages, qPrintable(title), peakMb - listMb,
                afterMb - listMb);
    if (peakMb - listMb > 200 || shownMs < 0) {
        ++failures;
    }
    return 0;
}

// The window on screen as a user has it, with nothing to quit when it closes; false if it never shows.
bool showWindow(MainWindow& window) {
    window.setQuitHandler([] {});
    window.show();
    return QTest::qWaitForWindowExposed(&window);
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    // A run in a shown window that ends with the verdict on its targets.
    const auto inWindow = [](const std::function<int(MainWindow&, QuietDialogs&)>& run) {
        QuietDialogs dialogs;
        MainWindow window(dialogs);
        if (!showWindow(window)) {
            return 1;
        }
        const int result = run(window, dialogs);
        std::printf("%s\n", failures == 0 ? "all targets met" : "some targets missed");
        return result;
    };
    if (args.size() > 2 && args.at(1) == u"files") {
        return inWindow([&](MainWindow& window, QuietDialogs& dialogs) {
            return openSeveral(window, dialogs, args.mid(2));
        });
    }
    if (args.size() == 3 && args.at(1) == u"print-preview") {
        return inWindow([&](MainWindow& window, QuietDialogs&) { return printPreview(window, args.at(2)); });
    }
    if (args.size() == 4 && args.at(1) == u"replace") {
        return inWindow(
            [&](MainWindow& window, QuietDialogs&) { return replaceList(window, args.at(2), args.at(3)); });
    }
    if (args.size() > 3) {
        return usage();
    }

    QTemporaryDir temp;
    if (args.size() > 1 && (args.at(1) == u"long-cell" || args.at(1) == u"long-search")) {
        return inWindow([&](MainWindow& window, QuietDialogs& dialogs) {
            const QString file = temp.filePath(QStringLiteral("lang.vcf"));
            return args.at(1) == u"long-search"
                       ? longSearch(window, dialogs, file)
                       : longCell(window, dialogs, file, args.value(2, QStringLiteral("60")).toInt());
        });
    }
    QString file;
    bool ok = false;
    const qint64 count = args.size() > 1 ? args.at(1).toLongLong(&ok) : 1'000'000;
    if (args.size() > 1 && !ok) {
        file = args.at(1);
    } else {
        if (count < 1) {
            return usage();
        }
        const quint64 seed = args.size() > 2 ? args.at(2).toULongLong() : 11;
        file = temp.filePath(QStringLiteral("viewbench.vcf"));
        std::FILE* out = std::fopen(QFile::encodeName(file).constData(), "wb");
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
        QElapsedTimer generating;
        generating.start();
        generateCards(out, count - 1, seed);
        std::fputs("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Zyprian Schlusslicht\r\nEND:VCARD\r\n", out);
        std::fclose(out);
        std::printf("generated %lld cards in %.1f s\n", static_cast<long long>(count),
                    msSince(generating) / 1e3);
    }

    QuietDialogs dialogs;
    MainWindow window(dialogs);
    if (!showWindow(window)) {
        std::fprintf(stderr, "the window was not shown\n");
        return 1;
    }
    ListBox* list = window.contactList();
    ContactListModel* model = window.contactModel();

    // Import: the reading ends where the import hands the finished table to the list.
    QElapsedTimer clock;
    clock.start();
    const double importCpu = cpuMs();
    qint64 tableHandedOver = 0;
    double tableHandedOverCpu = 0;
    QObject::connect(model, &QAbstractItemModel::modelAboutToBeReset, &window, [&] {
        tableHandedOver = clock.nsecsElapsed();
        tableHandedOverCpu = cpuMs();
    });
    window.openFile(file);
    const qint64 importReturned = clock.nsecsElapsed();
    settle(&window);
    const Times listShown{double(clock.nsecsElapsed() - tableHandedOver) / 1e6, cpuMs() - tableHandedOverCpu};
    const int rows = model->rowCount();
    std::printf("file %s: %.0f MB, %d contacts, import %.2f s (cpu %.2f s), messages: %s\n",
                qPrintable(QFileInfo(file).fileName()), double(QFileInfo(file).size()) / 1e6, rows,
                double(importReturned) / 1e9, (tableHandedOverCpu - importCpu) / 1e3,
                qPrintable(dialogs.messages.join(QStringLiteral(" | "))));
    if (rows < 2) {
        return 1;
    }
    report("import end -> list shown", listShown, 1000);
    // The duplicates are found on another thread once the list shows, and marked from the event loop.
    {
        QElapsedTimer marks;
        marks.start();
        const ContactTable& table = model->table();
        const auto anyMarked = [&] {
            for (qsizetype c = 0; c < table.size(); ++c) {
                if (table.isDuplicate(c)) {
                    return true;
                }
            }
            return false;
        };
        while (!anyMarked() && marks.elapsed() < 60000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(5);
        }
        std::printf("duplicates marked %.0f ms after the list showed\n", double(marks.nsecsElapsed()) / 1e6);
    }
    // The search index and the names' ranks are made on another thread once the list shows; the steps
    // below begin when they are done, as they would a moment after opening.
    QElapsedTimer keys;
    keys.start();
    const double keysCpu = cpuMs();
    model->shownList().keys->nameRanks(NameOrder::FamilyFirst);
    std::printf("search index and name ranks done %.0f ms after the list showed (cpu %.0f ms, all threads)\n",
                double(keys.nsecsElapsed()) / 1e6, cpuMs() - keysCpu);

    QScrollBar* bar = list->verticalScrollBar();
    report("scroll to end", timed(&window, [&] { bar->setValue(bar->maximum()); }), 100);
    report("scroll to top", timed(&window, [&] { bar->setValue(0); }), 100);
    const int visibleRow = list->rowAt(list->viewport()->height() / 2);
    const QModelIndex target = model->index(visibleRow, ContactColumn::Name);
    report("select a row (click)",
           timed(&window,
                 [&] {
                     QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                       list->visualRect(target).center());
                 }),
           100, [&] { return QStringLiteral("row %1").arg(list->selectedRow()); });

    report("End key", timed(&window, [&] { QTest::keyClick(list, Qt::Key_End); }), 100,
           [&] { return QStringLiteral("row %1").arg(list->selectedRow()); });

    DetailWindow* detail = window.detail();
    const Times detailMs = timed(detail, [&] {
        window.appMenuBar()->detailAction()->trigger();
        QElapsedTimer waiting;
        waiting.start();
        while ((!detail->isVisible() || detail->list()->model()->rowCount() == 0) &&
               waiting.elapsed() < 10'000) {
            QCoreApplication::processEvents();
        }
    });
    report("open the detail window", detailMs, 100,
           [&] { return QStringLiteral("%1 rows").arg(detail->list()->model()->rowCount()); });
    detail->hide();
    window.activateWindow();
    settle(&window);

    QHeaderView* header = list->horizontalHeader();
    const QPoint nameHeading(header->sectionViewportPosition(1) + header->sectionSize(1) / 2,
                             header->height() / 2);
    report("sort by Name (click)",
           timed(&window, [&] { QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, nameHeading); }),
           2000, [&] { return QStringLiteral("first: %1").arg(model->cell(0, ContactColumn::Name)); });
    report("sort by Name descending",
           timed(&window, [&] { QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, nameHeading); }),
           2000, [&] { return QStringLiteral("first: %1").arg(model->cell(0, ContactColumn::Name)); });
    report("reset the sort (x)",
           timed(&window, [&] { QTest::mouseClick(window.clearSortLabel(), Qt::LeftButton); }), 2000,
           [&] { return QStringLiteral("first: contact %1").arg(model->contactAt(0) + 1); });

    const auto search = [&](const QString& text) {
        window.searchField()->setText(text);
        dialogs.messages.clear();
        return timed(&window, [&] { QTest::mouseClick(window.searchButton(), Qt::LeftButton); });
    };
    // A miss in each kind of search reads every row: text in the names and then the companies (the
    // first search also builds the case folding table), a number in the three telephone columns, an
    // e-mail address in the e-mail column.
    const Times notFound = search(QStringLiteral("Nirgendwo Niemand"));
    report("Name finden, not found", notFound, 200, [&] { return dialogs.messages.value(0); });
    report("not found, folded text", search(QStringLiteral("STRAUẞ NIRGENDS")), 200,
           [&] { return dialogs.messages.value(0); });
    report("not found, number", search(QStringLiteral("+49 (0)999 987 654 321")), 200,
           [&] { return dialogs.messages.value(0); });
    report("not found, e-mail", search(QStringLiteral("niemand@nirgendwo.invalid")), 200,
           [&] { return dialogs.messages.value(0); });
    const QString last = model->cell(rows - 1, ContactColumn::Name);
    const Times foundAtEnd = search(last);
    report("Name finden, found at end", foundAtEnd, 200, [&] {
        return QStringLiteral("\"%1\" in row %2 of %3").arg(last).arg(window.selected()).arg(rows);
    });

    filterSteps(window, rows);
    viewSteps(window);

    std::printf("%s\n", failures == 0 ? "all targets met" : "some targets missed");
    return 0;
}
