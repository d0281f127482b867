// tovanel-bench: inspects and measures the import outside the viewer, through the viewer's own import
// code and table model.
#include "addresstablemodel.h"
#include "dialogs.h"
#include "tabledump.h"
#include "vcfimport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTextStream>
#include <cstdio>
#include <sys/resource.h>

namespace {

// Answers the import's questions on the terminal: messages go to standard error, open dialogs are
// cancelled.
class StderrDialogs final : public Dialogs {
public:
    void message(const QString& text) override {
        std::fprintf(stderr, "%s\n", TableDump::message(text).toUtf8().constData());
    }
    QString openFile(const QString&) override { return {}; }
};

double peakRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

int usage() {
    std::fprintf(stderr, "usage: tovanel-bench dump FILE\n"
                         "       tovanel-bench import FILE\n");
    return 2;
}

int dump(const QString& path) {
    StderrDialogs dialogs;
    AddressTableModel adressen(AddressTableModel::List::Adressen);
    AddressTableModel adrData(AddressTableModel::List::AdrData);
    OpenVcf(path, adressen, adrData, dialogs, {});
    QTextStream out(stdout);
    out.setEncoding(QStringConverter::Utf8);
    for (int row = 0; row < adressen.rowCount(); ++row) {
        out << TableDump::row(adressen, adrData, row) << '\n';
    }
    return 0;
}

int import(const QString& path) {
    StderrDialogs dialogs;
    AddressTableModel adressen(AddressTableModel::List::Adressen);
    AddressTableModel adrData(AddressTableModel::List::AdrData);
    QElapsedTimer timer;
    timer.start();
    OpenVcf(path, adressen, adrData, dialogs, {});
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    std::printf("cards=%d bytes=%lld seconds=%.3f peak_rss_mb=%.1f\n", adressen.rowCount(),
                static_cast<long long>(QFileInfo(path).size()), seconds, peakRssMb());
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3) {
        return usage();
    }
    const QString& command = args.at(1);
    if (command == QLatin1String("dump")) {
        return dump(args.at(2));
    }
    if (command == QLatin1String("import")) {
        return import(args.at(2));
    }
    return usage();
}
