// tovanel-detailbench: writes pathological cards (an unbroken 500 KB line, a 2 MB note, a 2 MB JPEG photo,
// a 64 MB photo, a million folded lines, photos whose decoders would allocate more than they claim, millions
// of short lines, a card over the source view's limit) and times, in the real
// detail window (offscreen unless a platform is chosen), opening it with the card's rows, switching to the
// source view until it has repainted, scrolling it to the end, the double-click box's text and the QR code
// window (the card read again and cut to fit a code). Each card
// runs in a child process of its own, so that the peak memory printed is that card's.
#include "contacts/contactref.h"
#include "detailwindow/detailwindow.h"
#include "detailwindow/qrcodewindow.h"
#include "platform/dialogs.h"
#include "platform/listbox.h"
#include "vcard/vcardreader.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <sys/resource.h>

using namespace tovanel;

namespace {

class QuietDialogs final : public Dialogs {
public:
    void message(const QString& text) override { messages << text; }
    QString openFile(const QString&) override { return {}; }
    QStringList messages;
};

struct Case {
    const char* name;
    // Writes the lines between "FN" and "END" of the card.
    std::function<void(QFile&)> write;
};

void writeFolded(QFile& out, const QByteArray& head, qint64 chars, int lineChars, char fill) {
    out.write(head);
    const QByteArray line = "\r\n " + QByteArray(lineChars, fill);
    for (qint64 written = 0; written < chars; written += lineChars) {
        out.write(line);
    }
    out.write("\r\n");
}

// A JPEG of noise, which does not compress: about `bytes` long.
QByteArray noiseJpeg(qint64 bytes) {
    const int side = int(std::sqrt(double(bytes) / 0.95));
    QImage image(side, side, QImage::Format_RGB32);
    quint32 seed = 12345;
    for (int y = 0; y < side; ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < side; ++x) {
            seed = seed * 1664525u + 1013904223u;
            line[x] = seed >> 8;
        }
    }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return jpeg;
}

QByteArray base64Photo(const QByteArray& picture, const char* head) {
    return head + picture.toBase64() + "\r\n";
}

// A GIF of one pixel on a canvas of 5790 x 5790, which its decoder allocates whole.
QByteArray canvasGif() {
    return QByteArray("GIF89a\xa2\x16\xa2\x16\x80\0\0\0\0\0\xff\xff\xff,\0\0\0\0\1\0\1\0\0\x02\x01\x2c\0;",
                      34);
}

// An icon whose directory says 16x16 around a PNG of 3000 x 3000.
QByteArray largeIcon() {
    QImage image(3000, 3000, QImage::Format_Grayscale8);
    image.fill(128);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    QByteArray icon("\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0", 14);
    for (const qsizetype value : {png.size(), qsizetype(22)}) {
        for (int i = 0; i < 4; ++i) {
            icon += char((value >> (8 * i)) & 0xFF);
        }
    }
    return icon + png;
}

const QList<Case> Cases = {
    {"500 KB line", [](QFile& out) { out.write("NOTE:" + QByteArray(500'000, 'x') + "\r\n"); }},
    {"2 MB note",
     [](QFile& out) {
         // One unfolded line whose value holds a line break every 80 characters.
         out.write("NOTE:");
         const QByteArray line = QByteArray(78, 'n') + "\\n";
         for (int i = 0; i < 2'000'000 / 80; ++i) {
             out.write(line);
         }
         out.write("\r\n");
     }},
    {"2 MB JPEG photo",
     [](QFile& out) {
         const QByteArray base64 = noiseJpeg(2'000'000).toBase64();
         out.write("PHOTO;ENCODING=b;TYPE=JPEG:");
         for (qsizetype i = 0; i < base64.size(); i += 74) {
             out.write("\r\n " + base64.mid(i, 74));
         }
         out.write("\r\n");
     }},
    {"64 MB photo", [](QFile& out) { writeFolded(out, "PHOTO;ENCODING=b:", 64'000'000, 74, 'Q'); }},
    {"1,000,000 folded lines", [](QFile& out) { writeFolded(out, "NOTE:", 40'000'000, 40, 'f'); }},
    {"40 GIFs on 5790x5790 canvases",
     [](QFile& out) {
         for (int i = 0; i < 40; ++i) {
             out.write(base64Photo(canvasGif(),
                                   i % 2 ? "PHOTO;ENCODING=b;TYPE=GIF:" : "PHOTO:data:image/gif;base64,"));
         }
     }},
    {"12 icons around 3000x3000 PNGs",
     [](QFile& out) {
         const QByteArray icon = base64Photo(largeIcon(), "PHOTO:data:image/x-icon;base64,");
         for (int i = 0; i < 12; ++i) {
             out.write(icon);
         }
     }},
    {"3,400,000 TEL lines",
     [](QFile& out) {
         const QByteArray lines = QByteArray("TEL:1\r\n").repeated(100'000);
         for (int i = 0; i < 34; ++i) {
             out.write(lines);
         }
     }},
    {"80 MB photo (over the limit)",
     [](QFile& out) { writeFolded(out, "PHOTO;ENCODING=b:", 80'000'000, 74, 'Q'); }},
};

double msSince(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

// Processor time of this process: the machine's cores are shared, so wall time includes waiting.
double cpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double peakRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

double currentRssMb() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? double(fields.at(1).toLongLong()) * 4096.0 / (1 << 20) : 0;
}

int runCase(const Case& c) {
    QTemporaryDir temp;
    const QString path = temp.filePath(QStringLiteral("detailbench.vcf"));
    {
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        out.write("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Zora Ziegler\r\n");
        c.write(out);
        out.write("END:VCARD\r\n");
    }
    const double fileMb = double(QFile(path).size()) / 1e6;

    QuietDialogs dialogs;
    const VcardReadResult read = readVcardFile(path);
    if (read.table->size() != 1) {
        std::fprintf(stderr, "%s: the import gave %lld contacts\n", c.name,
                     static_cast<long long>(read.table->size()));
        return 1;
    }
    const ContactRef contact = contactOf(read.table, 0);
    DetailWindow detail(dialogs);
    // Opening: from the hand-over until the list, with the rows read from the card, has painted.
    // The first opening also loads the image plugins; the second is what every later contact costs.
    QElapsedTimer opening;
    opening.start();
    detail.showContact(contact);
    if (!QTest::qWaitForWindowExposed(&detail)) {
        std::fprintf(stderr, "the window was not shown\n");
        return 1;
    }
    detail.list()->viewport()->repaint();
    const double openMs = msSince(opening);
    detail.hide();
    opening.restart();
    const double reopenCpuBefore = cpuMs();
    detail.showContact(contact);
    if (!QTest::qWaitForWindowExposed(&detail)) {
        std::fprintf(stderr, "the window was not shown again\n");
        return 1;
    }
    detail.list()->viewport()->repaint();
    const double reopenMs = msSince(opening);
    const double reopenCpuMs = cpuMs() - reopenCpuBefore;
    // The photos arrive from the thread pool; their memory counts too.
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    const double rssBefore = currentRssMb();

    // Source view: from the click until the text area has painted.
    QPlainTextEdit* view = detail.sourceText();
    QElapsedTimer timer;
    timer.start();
    const double cpuBefore = cpuMs();
    QTest::mouseClick(detail.sourceButton(), Qt::LeftButton);
    QCoreApplication::processEvents();
    view->viewport()->repaint();
    const double sourceMs = msSince(timer);
    const double sourceCpuMs = cpuMs() - cpuBefore;
    timer.restart();
    QScrollBar* bar = view->verticalScrollBar();
    bar->setValue(bar->maximum());
    QCoreApplication::processEvents();
    view->viewport()->repaint();
    const double scrollMs = msSince(timer);
    const QString shown = view->isVisible()
                              ? QStringLiteral("%1 characters shown").arg(view->toPlainText().size())
                              : QStringLiteral("refused: ") + dialogs.messages.value(0);
    detail.sourceButton()->click();

    // The double-click box's text, for the note's row.
    dialogs.messages.clear();
    ListBox* liste = detail.list();
    const QPoint note = liste->visualRect(liste->model()->index(liste->model()->rowCount() - 1, 1)).center();
    QTest::mouseClick(liste->viewport(), Qt::LeftButton, {}, note);
    timer.restart();
    QTest::mouseDClick(liste->viewport(), Qt::LeftButton, {}, note);
    const double boxMs = msSince(timer);
    const QString box = dialogs.messages.value(0);

    // The QR code: from the menu item until its window is shown; the card is read and cut to fit.
    timer.restart();
    const std::unique_ptr<QMenu> menu(detail.rowMenu(0));
    menu->findChild<QAction*>(QStringLiteral("showQrCode"))->trigger();
    auto* qr = detail.findChild<QrCodeWindow*>(QStringLiteral("QrCode"));
    if (!qr || !QTest::qWaitForWindowExposed(qr)) {
        std::fprintf(stderr, "the QR code was not shown\n");
        return 1;
    }
    const double qrMs = msSince(timer);
    const QString qrOmitted = qr->omitted()->text();
    qr->close();

    std::printf("%-30s %6.1f MB  open %6.1f ms, again %6.1f ms (cpu %6.1f) (%d rows), source view %6.1f ms "
                "(cpu %6.1f), scroll to end "
                "%6.1f ms, box %5.2f ms "
                "(%lld lines, %lld chars), QR code %6.1f ms (%s)  RSS %.0f MB before, peak %.0f MB  [%s]\n",
                c.name, fileMb, openMs, reopenMs, reopenCpuMs, detail.list()->model()->rowCount(), sourceMs,
                sourceCpuMs, scrollMs, boxMs, static_cast<long long>(box.count(u'\n') + 1),
                static_cast<long long>(box.size()), qrMs, qPrintable(qrOmitted), rssBefore, peakRssMb(),
                qPrintable(shown.left(110)));
    std::fflush(stdout);
    detail.hide();
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 2) {
        for (const Case& c : Cases) {
            if (args.at(1) == QLatin1String(c.name)) {
                return runCase(c);
            }
        }
    }
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: tovanel-detailbench [CASE]\n  cases:");
        for (const Case& c : Cases) {
            std::fprintf(stderr, " \"%s\"", c.name);
        }
        std::fprintf(stderr, "\n");
        return 2;
    }
    int failed = 0;
    for (const Case& c : Cases) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(c.name)});
        child.waitForFinished(-1);
        failed += child.exitCode() == 0 ? 0 : 1;
    }
    return failed == 0 ? 0 : 1;
}
