// tovanel-bench: inspects and measures the import outside the viewer, through the viewer's own import
// code and table model.
#include "card/contactrows.h"
#include "card/portablecard.h"
#include "card/qrcode.h"
#include "contactlist/contactlistmodel.h"
#include "contactlist/listkeys.h"
#include "contacts/contactref.h"
#include "contacts/duplicates.h"
#include "export/contactexport.h"
#include "export/tabledump.h"
#include "generator.h"
#include "platform/documentpaths.h"
#include "procmemory.h"
#include "vcard/importmessages.h"
#include "vcard/vcardreader.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSet>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <memory>
#include <new>
#include <optional>
#include <sys/resource.h>
#include <unistd.h>

using namespace tovanel;

namespace {

// Reads a file into both lists as the window does, its messages to standard error; after an "END" line
// outside a card no other file is asked for.
void importFile(const QString& path, ContactListModel& contactModel, ContactListModel& addressModel) {
    const VcardReadResult result = readVcardFile(path);
    for (const QString& text : ImportMessages::forResult(result, path)) {
        std::fprintf(stderr, "%s\n", TableDump::message(text).toUtf8().constData());
    }
    contactModel.setTable(result.table);
    addressModel.setTable(result.table);
}

// The list's search index and name ranks are made on another thread once the list is there: what is
// measured after the import waits for them, as a user comes to it a moment later.
void waitForKeys(const ContactListModel& contactModel) {
    contactModel.shownList().keys->nameRanks(NameOrder::FamilyFirst);
}

double peakRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

int usage() {
    std::fprintf(
        stderr,
        "usage: tovanel-bench dump FILE\n"
        "       tovanel-bench names FILE        (the names as \"Nachname, Vorname\", in the list's order by "
        "them)\n"
        "       tovanel-bench card FILE N       (the detail rows of contact N, 1-based)\n"
        "       tovanel-bench portable FILE N   (the QR code's vCard of contact N, 1-based)\n"
        "       tovanel-bench import FILE\n"
        "       tovanel-bench generate N SEED   (vCard file of N cards to standard output)\n"
        "       tovanel-bench generate-pathological KIND N\n"
        "                 (KIND: begin-flood, empty-cards, huge-line, tiny-properties,\n"
        "                  uid-collisions, uid-ordinary)\n"
        "       tovanel-bench linescan FILE\n"
        "       tovanel-bench compare FILE      (line pass, import, line pass; ratios)\n"
        "       tovanel-bench sort FILE         (import, then sort by Name and reset)\n"
        "       tovanel-bench export FILE OUT [FORMAT]\n"
        "                 (import, then export as FORMAT (vcard3, csv-google, folder ...) or OUT's extension "
        "says)\n"
        "       tovanel-bench generate-split N SEED PARTS DIR\n"
        "                 (N cards in PARTS files DIR/part-0001.vcf ..., seeds SEED, SEED+1, ...)\n"
        "       tovanel-bench filter FILE [TEXT...] (the list model's filter, TEXT typed a character\n"
        "                 at a time; default müll and 0171; then each quick filter)\n"
        "       tovanel-bench files PATH...     (files and folders read into one list)\n"
        "       tovanel-bench files-compare FILE PATH...\n"
        "                 (FILE alone against the PATHs as one list, five times each)\n"
        "       tovanel-bench duplicates FILE   (import, then find the duplicate groups)\n");
    return 2;
}

// Processor time of this process (user and system). On a machine shared with other work the wall time
// of a phase includes waiting for a core; its processor time does not.
double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double secondsSince(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e9;
}

qint64 fileSize(const QString& path) {
    return QFileInfo(path).size();
}

struct LineScan {
    qint64 lines = -1; // -1: the file could not be read
    double seconds = 0;
    double cpu = 0;
};

// The least any line-based reader must do: read the file in large chunks and find every line feed.
LineScan lineScan(const QString& path) {
    LineScan result;
    const double cpuStart = cpuSeconds();
    QElapsedTimer timer;
    timer.start();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0) {
        return result;
    }
    constexpr size_t ChunkSize = 1 << 20;
    const auto buffer = std::make_unique_for_overwrite<char[]>(ChunkSize);
    qint64 lines = 0;
    bool partial = false;
    for (;;) {
        const ssize_t got = ::read(fd, buffer.get(), ChunkSize);
        if (got < 0) {
            ::close(fd);
            return result;
        }
        if (got == 0) {
            break;
        }
        const char* p = buffer.get();
        const char* end = p + got;
        while (const auto* lf = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)))) {
            ++lines;
            p = lf + 1;
        }
        partial = p != end;
    }
    ::close(fd);
    result.lines = lines + (partial ? 1 : 0);
    result.seconds = secondsSince(timer);
    result.cpu = cpuSeconds() - cpuStart;
    return result;
}

struct Import {
    int cards = 0;
    double seconds = 0;
    double cpu = 0;
};

Import timedImport(const QString& path, ContactListModel& contactModel, ContactListModel& addressModel) {
    const double cpuStart = cpuSeconds();
    QElapsedTimer timer;
    timer.start();
    importFile(path, contactModel, addressModel);
    return {contactModel.rowCount(), secondsSince(timer), cpuSeconds() - cpuStart};
}

int dump(const QString& path) {
    ContactListModel contactModel(ContactListModel::List::Contacts);
    ContactListModel addressModel(ContactListModel::List::Addresses);
    importFile(path, contactModel, addressModel);
    QTextStream out(stdout);
    out.setEncoding(QStringConverter::Utf8);
    for (int row = 0; row < contactModel.rowCount(); ++row) {
        out << TableDump::row(contactModel, addressModel, row) << '\n';
    }
    return 0;
}

// The list as "Ansicht › Namen › Nachname, Vorname" shows it after a click on the name heading: what other
// address books' lists by last name are compared with.
int familyFirstNames(const QString& path) {
    ContactListModel contactModel(ContactListModel::List::Contacts);
    ContactListModel addressModel(ContactListModel::List::Addresses);
    importFile(path, contactModel, addressModel);
    contactModel.setNameOrder(NameOrder::FamilyFirst);
    contactModel.sort(ContactColumn::Name, Qt::AscendingOrder);
    QTextStream out(stdout);
    out.setEncoding(QStringConverter::Utf8);
    for (int row = 0; row < contactModel.rowCount(); ++row) {
        out << TableDump::escaped(contactModel.index(row, ContactColumn::Name).data().toString()) << '\n';
    }
    return 0;
}

// The most memory a file of `bytes` may cost: eight times its size plus a fixed allowance for the
// program itself.
double memoryLimitMb(qint64 bytes) {
    return 8.0 * double(bytes) / (1024.0 * 1024.0) + 64.0;
}

void printMemoryLimit(qint64 bytes, double peakMb) {
    const double limit = memoryLimitMb(bytes);
    std::printf("limit_mb=%.1f (8 x file + 64 MB) peak_of_limit=%.2f within_limit=%s\n", limit,
                peakMb / limit, peakMb <= limit ? "yes" : "no");
}

int import(const QString& path) {
    ContactListModel contactModel(ContactListModel::List::Contacts);
    ContactListModel addressModel(ContactListModel::List::Addresses);
    const Import run = timedImport(path, contactModel, addressModel);
    const qint64 bytes = fileSize(path);
    const double peak = peakRssMb();
    std::printf("cards=%d bytes=%lld seconds=%.3f peak_rss_mb=%.1f table_mb=%.1f\n", run.cards,
                static_cast<long long>(bytes), run.seconds, peak,
                double(contactModel.table().bytesUsed()) / (1024.0 * 1024.0));
    printMemoryLimit(bytes, peak);
    return 0;
}

// The rows the detail window shows for contact `number` (counted from 1, in file order).
// Contact `number` (1-based, in list order) of the file, or nothing with a word on standard error.
std::optional<ContactRef> numberedContact(const QString& path, const QString& number) {
    bool ok = false;
    const int n = number.toInt(&ok);
    const VcardReadResult result = readVcardFile(path);
    ContactListModel contactModel(ContactListModel::List::Contacts);
    contactModel.setTable(result.table);
    if (!ok || n < 1 || n > contactModel.rowCount()) {
        std::fprintf(stderr, "no contact %s in %s\n", qPrintable(number), qPrintable(path));
        return std::nullopt;
    }
    return contactOf(contactModel.sharedTable(), contactModel.contactAt(n - 1));
}

int card(const QString& path, const QString& number) {
    const std::optional<ContactRef> contact = numberedContact(path, number);
    if (!contact) {
        return 1;
    }
    for (const CardRow& row : contactRows(*contact)) {
        QString line = TableDump::escaped(row.label) + QLatin1Char('\t') + TableDump::escaped(row.value);
        if (row.bold) {
            line += QStringLiteral("\tbold");
        }
        std::printf("%s\n", line.toUtf8().constData());
    }
    return std::ferror(stdout) ? 1 : 0;
}

// The vCard text the QR code of a contact holds, as large as the largest code takes.
int portable(const QString& path, const QString& number) {
    const std::optional<ContactRef> contact = numberedContact(path, number);
    if (!contact) {
        return 1;
    }
    const PortableCard card = portableCard(*contact, fitsQrCode);
    std::fwrite(card.text.constData(), 1, size_t(card.text.size()), stdout);
    for (const QString& left : card.omitted) {
        std::fprintf(stderr, "omitted: %s\n", left.toUtf8().constData());
    }
    return std::ferror(stdout) ? 1 : 0;
}

int generate(const QString& count, const QString& seed) {
    bool countOk = false;
    bool seedOk = false;
    const qint64 n = count.toLongLong(&countOk);
    const quint64 s = seed.toULongLong(&seedOk);
    if (!countOk || !seedOk || n < 0) {
        return usage();
    }
    generateCards(stdout, n, s);
    return std::ferror(stdout) ? 1 : 0;
}

int generatePathological(const QString& kind, const QString& count) {
    bool countOk = false;
    const qint64 n = count.toLongLong(&countOk);
    if (!countOk || n < 0 || !generatePathological(stdout, kind.toUtf8().constData(), n)) {
        return usage();
    }
    return std::ferror(stdout) ? 1 : 0;
}

int linescan(const QString& path) {
    const LineScan scan = lineScan(path);
    if (scan.lines < 0) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return 1;
    }
    std::printf("lines=%lld seconds=%.3f\n", static_cast<long long>(scan.lines), scan.seconds);
    return 0;
}

// The line pass runs before and after the import and the faster of the two counts, so a cold page cache
// or a busy neighbour cannot flatter the ratio.
int compare(const QString& path) {
    const LineScan before = lineScan(path);
    if (before.lines < 0) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return 1;
    }
    ContactListModel contactModel(ContactListModel::List::Contacts);
    ContactListModel addressModel(ContactListModel::List::Addresses);
    const Import run = timedImport(path, contactModel, addressModel);
    const double rss = peakRssMb();
    // The list's search index and name ranks, made on another thread once the list is there: waited for
    // before the second line pass, so that they do not share its time, and counted on their own.
    const double keysCpuStart = cpuSeconds();
    QElapsedTimer keysTimer;
    keysTimer.start();
    contactModel.shownList().keys->searchIndex();
    const double indexSeconds = secondsSince(keysTimer);
    const double indexRss = peakRssMb();
    contactModel.shownList().keys->nameRanks(NameOrder::FamilyFirst);
    const double keysSeconds = secondsSince(keysTimer);
    const double keysCpu = cpuSeconds() - keysCpuStart;
    const double keysRss = peakRssMb();
    const LineScan after = lineScan(path);
    const double scanSeconds = std::min(before.seconds, after.seconds);
    const double scanCpu = std::min(before.cpu, after.cpu);
    const double fileMb = double(fileSize(path)) / (1024.0 * 1024.0);
    std::printf("cards=%d lines=%lld file_mb=%.1f\n", run.cards, static_cast<long long>(before.lines),
                fileMb);
    std::printf("linescan_seconds=%.3f import_seconds=%.3f import_ratio=%.2f (target <= 5)\n", scanSeconds,
                run.seconds, run.seconds / scanSeconds);
    std::printf("linescan_cpu_seconds=%.3f import_cpu_seconds=%.3f cpu_ratio=%.2f\n", scanCpu, run.cpu,
                run.cpu / scanCpu);
    std::printf("cards_per_second=%.0f mb_per_second=%.1f\n", run.cards / run.seconds, fileMb / run.seconds);
    std::printf("peak_rss_mb=%.1f rss_ratio=%.2f (target <= 2) table_mb=%.1f\n", rss, rss / fileMb,
                double(contactModel.table().bytesUsed()) / (1024.0 * 1024.0));
    std::printf("index_seconds=%.3f peak_rss_mb_with_index=%.1f keys_seconds=%.3f keys_cpu_seconds=%.3f "
                "peak_rss_mb_with_keys=%.1f rss_ratio_with_keys=%.2f\n",
                indexSeconds, indexRss, keysSeconds, keysCpu, keysRss, keysRss / fileMb);
    return 0;
}

// A hash of the row order, so that two builds can be shown to sort alike.
quint64 orderHash(const ContactListModel& model) {
    quint64 hash = 1469598103934665603ull;
    for (int row = 0; row < model.rowCount(); ++row) {
        hash = (hash ^ quint64(model.contactAt(row))) * 1099511628211ull;
    }
    return hash;
}

int sort(const QString& path) {
    ContactListModel contactModel(ContactListModel::List::Contacts);
    ContactListModel addressModel(ContactListModel::List::Addresses);
    const Import run = timedImport(path, contactModel, addressModel);
    const double afterImportMb = peakRssMb();
    int failures = 0;
    QObject::connect(&contactModel, &ContactListModel::sortFailed, [&failures] { ++failures; });
    constexpr int NameColumn = 1;
    QElapsedTimer timer;
    timer.start();
    // The list's keys are made on another thread from the moment the list is there; a sort by name
    // waits for them, so they are waited for first and counted on their own.
    contactModel.shownList().keys->nameRanks(NameOrder::FamilyFirst);
    const double keys = secondsSince(timer);
    timer.restart();
    contactModel.sort(NameColumn, Qt::AscendingOrder);
    const double byName = secondsSince(timer);
    const quint64 nameHash = orderHash(contactModel);
    timer.restart();
    contactModel.sort(NameColumn, Qt::DescendingOrder);
    const double byNameDescending = secondsSince(timer);
    const quint64 descendingHash = orderHash(contactModel);
    timer.restart();
    contactModel.sort(0, Qt::AscendingOrder);
    const double reset = secondsSince(timer);
    const quint64 resetHash = orderHash(contactModel);
    contactModel.setNameOrder(NameOrder::FamilyFirst);
    timer.restart();
    contactModel.sort(NameColumn, Qt::AscendingOrder);
    const double familyFirst = secondsSince(timer);
    const quint64 familyFirstHash = orderHash(contactModel);
    std::printf("cards=%d import_seconds=%.3f keys_seconds=%.3f\n", run.cards, run.seconds, keys);
    std::printf("sort_name_seconds=%.3f sort_name_descending_seconds=%.3f sort_reset_seconds=%.3f "
                "sort_family_first_seconds=%.3f (targets <= 2)\n",
                byName, byNameDescending, reset, familyFirst);
    std::printf("name_order_hash=%016llx descending_hash=%016llx reset_order_hash=%016llx "
                "family_first_hash=%016llx\n",
                static_cast<unsigned long long>(nameHash), static_cast<unsigned long long>(descendingHash),
                static_cast<unsigned long long>(resetHash), static_cast<unsigned long long>(familyFirstHash));
    std::printf("peak_rss_mb_after_import=%.1f peak_rss_mb=%.1f sorts_failed=%d\n", afterImportMb,
                peakRssMb(), failures);
    printMemoryLimit(fileSize(path), peakRssMb());
    return 0;
}

int exportList(const QString& path, const QString& out, const QString& formatName) {
    const std::optional<ExportFormat> format =
        formatName.isEmpty() ? exportFormatOf(out) : exportFormatNamed(formatName);
    if (!format) {
        return usage();
    }
    ContactListModel contactModel(ContactListModel::List::Contacts);
    ContactListModel addressModel(ContactListModel::List::Addresses);
    const Import run = timedImport(path, contactModel, addressModel);
    waitForKeys(contactModel);
    const double listMb = statusMb("VmRSS:");
    resetPeakRss();
    const double cpuStart = cpuSeconds();
    QElapsedTimer timer;
    timer.start();
    qsizetype progressCalls = 0;
    const ExportRequest request{
        .list = contactModel.shownList(),
        .progress =
            [&progressCalls](qsizetype, qsizetype) {
                ++progressCalls;
                return true;
            },
        .title = QFileInfo(path).fileName(),
    };
    const ExportResult result = exportContacts(request, out, *format);
    const double seconds = secondsSince(timer);
    const double cpu = cpuSeconds() - cpuStart;
    if (result.status != ExportResult::Status::Written) {
        std::fprintf(stderr, "%s\n", qPrintable(result.error));
        return 1;
    }
    const double peakMb = statusMb("VmHWM:");
    std::printf("cards=%d import_seconds=%.3f import_cpu_seconds=%.3f\n", run.cards, run.seconds, run.cpu);
    std::printf("export_seconds=%.3f export_cpu_seconds=%.3f export_ratio=%.2f (targets: csv <= 2, vcard <= "
                "3, xlsx <= 8) "
                "out_mb=%.1f progress_calls=%lld\n",
                seconds, cpu, seconds / run.seconds, double(fileSize(out)) / (1024.0 * 1024.0),
                static_cast<long long>(progressCalls));
    std::printf(
        "rss_mb_with_list=%.1f export_peak_rss_mb=%.1f above_list_mb=%.1f (targets: <= 64, pdf <= 128)\n",
        listMb, peakMb, peakMb - listMb);
    return 0;
}

// N cards spread over PARTS files, as a user's contacts come from several exports: each file has its
// own seed, the first ones one card more where N does not divide evenly.
int generateSplit(const QString& count, const QString& seed, const QString& partCount, const QString& dir) {
    bool countOk = false;
    bool seedOk = false;
    bool partsOk = false;
    const qint64 n = count.toLongLong(&countOk);
    const quint64 s = seed.toULongLong(&seedOk);
    const int parts = partCount.toInt(&partsOk);
    if (!countOk || !seedOk || !partsOk || n < 0 || parts < 1) {
        return usage();
    }
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(dir));
        return 1;
    }
    for (int part = 0; part < parts; ++part) {
        const qint64 cards = n / parts + (part < n % parts ? 1 : 0);
        const QString path =
            QDir(dir).filePath(QStringLiteral("part-%1.vcf").arg(part + 1, 4, 10, QLatin1Char('0')));
        std::FILE* out = std::fopen(QFile::encodeName(path).constData(), "wb");
        if (out == nullptr) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        generateCards(out, cards, s + quint64(part));
        const bool failed = std::ferror(out) != 0;
        if (std::fclose(out) != 0 || failed) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}

struct FileList {
    std::shared_ptr<ContactTable> table;
    qint64 bytes = 0; // of the files read into the list
    double seconds = 0;
    double cpu = 0;
    double duplicatesSeconds = 0; // part of `seconds`
};

// The duplicates pass over a finished list, as the window runs it before showing the list: without the
// memory for it the list goes unmarked.
double findDuplicates(ContactTable& table) {
    QElapsedTimer timer;
    timer.start();
    try {
        table.setDuplicateGroups(findDuplicateGroups(table));
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "no memory to find the duplicates\n");
    }
    return secondsSince(timer);
}

// Reads files and folders into one list the way the window does: a folder gives its vCard files, each
// file is read on its own (from 16 MB on in parts on two threads), a file already in the list is passed
// over, each table is appended as the window appends it, and both models take the list. One file goes
// the same way; the window's own path for it differs only in skipping the check for a file listed twice.
FileList readList(const QStringList& paths, ContactListModel& contactModel, ContactListModel& addressModel) {
    FileList list;
    list.table = std::make_shared<ContactTable>();
    const double cpuStart = cpuSeconds();
    QElapsedTimer timer;
    timer.start();
    const DocumentFiles named = expandDocumentPaths(paths);
    QSet<std::pair<quint64, quint64>> listed;
    for (const QString& path : named.files) {
        const FileStamp stamp = fileStampOf(path);
        if (stamp.isValid() && listed.contains(stamp.identity())) {
            continue;
        }
        VcardReadResult result = readVcardFile(path);
        if (!result.error.isEmpty()) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(result.error));
        }
        if (!result.table || result.table->isEmpty()) {
            continue;
        }
        list.bytes += fileSize(path);
        listed.insert(result.table->fileSource(0)->stamp.identity());
        list.table->appendFile(*result.table);
    }
    list.duplicatesSeconds = findDuplicates(*list.table);
    contactModel.setTable(list.table);
    addressModel.setTable(list.table);
    list.seconds = secondsSince(timer);
    list.cpu = cpuSeconds() - cpuStart;
    return list;
}

void printDuplicates(const FileList& list) {
    qsizetype duplicates = 0;
    for (qsizetype contact = 0; contact < list.table->size(); ++contact) {
        duplicates += list.table->isDuplicate(contact) ? 1 : 0;
    }
    std::printf("duplicates_seconds=%.3f (part of seconds) duplicate_contacts=%lld\n", list.duplicatesSeconds,
                static_cast<long long>(duplicates));
}

int files(const QStringList& paths) {
    ContactListModel contactModel(ContactListModel::List::Contacts);
    ContactListModel addressModel(ContactListModel::List::Addresses);
    const FileList list = readList(paths, contactModel, addressModel);
    const double peak = peakRssMb();
    std::printf("files=%d cards=%lld seconds=%.3f cpu_seconds=%.3f peak_rss_mb=%.1f total_mb=%.1f "
                "table_mb=%.1f\n",
                list.table->fileCount(), static_cast<long long>(list.table->size()), list.seconds, list.cpu,
                peak, double(list.bytes) / (1024.0 * 1024.0),
                double(list.table->bytesUsed()) / (1024.0 * 1024.0));
    printDuplicates(list);
    printMemoryLimit(list.bytes, peak);
    if (list.table->fileCount() >= 1000 && list.table->size() == list.table->fileCount()) {
        std::printf("one_card_files_target=%s (1,000 one-card files <= 1 s: %.3f s per 1,000)\n",
                    list.seconds * 1000.0 / list.table->fileCount() <= 1.0 ? "met" : "missed",
                    list.seconds * 1000.0 / list.table->fileCount());
    }
    return 0;
}

// The median of a handful of runs.
double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// One file against several as one list, alternating, five times each. The fastest run of each decides the
// ratio: the first reading of a cold file, or a neighbour on the cores, only ever slows a run down.
int filesCompare(const QString& single, const QStringList& paths) {
    constexpr int Rounds = 5;
    struct Runs {
        std::vector<double> seconds;
        std::vector<double> cpu;
        int files = 0;
        qsizetype cards = 0;
        qint64 bytes = 0;
    } runs[2];
    for (int round = 0; round < Rounds; ++round) {
        for (int which = 0; which < 2; ++which) {
            ContactListModel contactModel(ContactListModel::List::Contacts);
            ContactListModel addressModel(ContactListModel::List::Addresses);
            const FileList list =
                readList(which == 0 ? QStringList{single} : paths, contactModel, addressModel);
            Runs& r = runs[which];
            r.seconds.push_back(list.seconds);
            r.cpu.push_back(list.cpu);
            r.files = list.table->fileCount();
            r.cards = list.table->size();
            r.bytes = list.bytes;
        }
    }
    const auto fastest = [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); };
    for (int which = 0; which < 2; ++which) {
        const Runs& r = runs[which];
        const char* name = which == 0 ? "one" : "list";
        std::printf("%s_files=%d %s_cards=%lld %s_mb=%.1f %s_seconds=%.3f (median %.3f) "
                    "%s_cpu_seconds=%.3f (median %.3f)\n",
                    name, r.files, name, static_cast<long long>(r.cards), name,
                    double(r.bytes) / (1024.0 * 1024.0), name, fastest(r.seconds), median(r.seconds), name,
                    fastest(r.cpu), median(r.cpu));
    }
    const double ratio = fastest(runs[1].seconds) / fastest(runs[0].seconds);
    std::printf("list_ratio=%.2f (target <= 1.2) %s median_ratio=%.2f cpu_ratio=%.2f\n", ratio,
                ratio <= 1.2 ? "met" : "MISSED", median(runs[1].seconds) / median(runs[0].seconds),
                fastest(runs[1].cpu) / fastest(runs[0].cpu));
    return 0;
}

// The list model's filter without any window, over a list read as the window reads it (duplicates
// marked): each text typed a character at a time (each narrowing the one before, as in the field), then
// each quick filter on its own, with the time and the memory each step takes above the list. What the
// window adds on top of these is its views' repaint; tovanel-viewbench measures the whole.
int filter(const QString& path, QStringList texts) {
    if (texts.isEmpty()) {
        texts = {QStringLiteral("müll"), QStringLiteral("0171")};
    }
    ContactListModel contactModel(ContactListModel::List::Contacts);
    ContactListModel addressModel(ContactListModel::List::Addresses);
    const FileList list = readList({path}, contactModel, addressModel);
    waitForKeys(contactModel);
    std::printf("cards=%lld seconds=%.3f duplicates_seconds=%.3f\n",
                static_cast<long long>(list.table->size()), list.seconds, list.duplicatesSeconds);
    const auto apply = [&](const ContactFilter& f, const QString& name) {
        // The allocator's free pages go back first, so that the peak is what this step takes.
        malloc_trim(0);
        const double beforeMb = statusMb("VmRSS:");
        resetPeakRss();
        const double cpuStart = cpuSeconds();
        QElapsedTimer timer;
        timer.start();
        const bool ok = contactModel.setFilter(f);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        const double cpuMs = (cpuSeconds() - cpuStart) * 1e3;
        const double aboveMb = statusMb("VmHWM:") - beforeMb;
        std::printf("%-24s %7.1f ms (cpu %7.1f ms) %7d rows, peak +%.1f MB (%.1f B per contact)%s\n",
                    qPrintable(name), ms, cpuMs, contactModel.rowCount(), aboveMb,
                    aboveMb * 1024 * 1024 / double(std::max<qsizetype>(1, list.table->size())),
                    ok ? "" : " out of memory");
    };
    for (const QString& text : texts) {
        for (qsizetype length = 1; length <= text.size(); ++length) {
            ContactFilter typed;
            typed.text = text.left(length);
            apply(typed, QStringLiteral("\"%1\"").arg(typed.text));
        }
        apply({}, QStringLiteral("cleared"));
    }
    constexpr std::pair<ContactFilter::Quick, const char*> Quick[] = {
        {ContactFilter::Quick::Favourites, "favourites"},
        {ContactFilter::Quick::WithoutPhone, "without phone"},
        {ContactFilter::Quick::WithoutEmail, "without e-mail"},
        {ContactFilter::Quick::Duplicates, "duplicates"},
        {ContactFilter::Quick::All, "all"},
    };
    for (const auto& [quick, name] : Quick) {
        ContactFilter chosen;
        chosen.quick = quick;
        apply(chosen, QString::fromLatin1(name));
    }
    return 0;
}

// The duplicate groups of an imported list: time, the memory they take above the list (result included),
// and what they found.
int duplicates(const QString& path) {
    ContactListModel contactModel(ContactListModel::List::Contacts);
    ContactListModel addressModel(ContactListModel::List::Addresses);
    const Import run = timedImport(path, contactModel, addressModel);
    waitForKeys(contactModel);
    const ContactTable& table = contactModel.table();
    const double listMb = statusMb("VmRSS:");
    resetPeakRss();
    const double cpuStart = cpuSeconds();
    QElapsedTimer timer;
    timer.start();
    const std::vector<std::uint32_t> groups = findDuplicateGroups(table);
    const double seconds = secondsSince(timer);
    const double cpu = cpuSeconds() - cpuStart;
    const double peakMb = statusMb("VmHWM:");
    qsizetype marked = 0;
    qsizetype groupCount = 0;
    std::vector<std::uint32_t> sizes(groups.size());
    for (size_t contact = 0; contact < groups.size(); ++contact) {
        if (groups[contact] != 0) {
            ++marked;
            groupCount += groups[contact] == contact + 1 ? 1 : 0;
            ++sizes[groups[contact] - 1];
        }
    }
    const std::uint32_t largest = sizes.empty() ? 0 : *std::max_element(sizes.begin(), sizes.end());
    const double aboveMb = peakMb - listMb;
    std::printf("cards=%d import_seconds=%.3f\n", run.cards, run.seconds);
    std::printf("duplicates_seconds=%.3f duplicates_cpu_seconds=%.3f (target <= 1 at 1,000,000)\n", seconds,
                cpu);
    std::printf("rss_mb_with_list=%.1f duplicates_peak_rss_mb=%.1f above_list_mb=%.1f bytes_per_contact=%.1f "
                "(result included; target about 32)\n",
                listMb, peakMb, aboveMb, run.cards > 0 ? aboveMb * 1024 * 1024 / run.cards : 0.0);
    std::printf("contacts_marked=%lld groups=%lld largest_group=%u\n", static_cast<long long>(marked),
                static_cast<long long>(groupCount), largest);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    // The PDF phone list needs Qt Gui for its fonts, without any window.
    const bool exporting = argc > 1 && std::strcmp(argv[1], "export") == 0;
    if (exporting && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const std::unique_ptr<QCoreApplication> app = exporting ? std::make_unique<QGuiApplication>(argc, argv)
                                                            : std::make_unique<QCoreApplication>(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3) {
        return usage();
    }
    const QString& command = args.at(1);
    if (command == QLatin1String("generate")) {
        return args.size() == 4 ? generate(args.at(2), args.at(3)) : usage();
    }
    if (command == QLatin1String("generate-pathological")) {
        return args.size() == 4 ? generatePathological(args.at(2), args.at(3)) : usage();
    }
    if (command == QLatin1String("generate-split")) {
        return args.size() == 6 ? generateSplit(args.at(2), args.at(3), args.at(4), args.at(5)) : usage();
    }
    // The import reports running out of memory itself; whatever else fails for it ends with a word too.
    try {
        if (command == QLatin1String("dump")) {
            return dump(args.at(2));
        }
        if (command == QLatin1String("names")) {
            return familyFirstNames(args.at(2));
        }
        if (command == QLatin1String("card")) {
            return args.size() == 4 ? card(args.at(2), args.at(3)) : usage();
        }
        if (command == QLatin1String("portable")) {
            return args.size() == 4 ? portable(args.at(2), args.at(3)) : usage();
        }
        if (command == QLatin1String("import")) {
            return import(args.at(2));
        }
        if (command == QLatin1String("filter")) {
            return filter(args.at(2), args.mid(3));
        }
        if (command == QLatin1String("files")) {
            return files(args.mid(2));
        }
        if (command == QLatin1String("files-compare")) {
            return args.size() >= 4 ? filesCompare(args.at(2), args.mid(3)) : usage();
        }
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "out of memory\n");
        return 1;
    }
    if (command == QLatin1String("linescan")) {
        return linescan(args.at(2));
    }
    if (command == QLatin1String("compare")) {
        return compare(args.at(2));
    }
    if (command == QLatin1String("sort")) {
        return sort(args.at(2));
    }
    if (command == QLatin1String("export")) {
        return args.size() == 4 || args.size() == 5 ? exportList(args.at(2), args.at(3), args.value(4))
                                                    : usage();
    }
    if (command == QLatin1String("duplicates")) {
        return duplicates(args.at(2));
    }
    return usage();
}
