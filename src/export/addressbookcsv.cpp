#include "export/addressbookcsv.h"

namespace tovanel {

namespace {

class Unwritten final : public ContactRecords {
public:
    QByteArray head() override { return {}; }
    void append(QByteArray&, const ContactTable&, qsizetype) override {}
};

} // namespace

std::unique_ptr<ContactRecords> googleCsvRecords() {
    return std::make_unique<Unwritten>();
}

std::unique_ptr<ContactRecords> outlookCsvRecords() {
    return std::make_unique<Unwritten>();
}

} // namespace tovanel
