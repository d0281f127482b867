#include "export/fritzbox.h"

namespace tovanel {

namespace {

class Unwritten final : public ContactRecords {
public:
    QByteArray head() override { return {}; }
    void append(QByteArray&, const ContactTable&, qsizetype) override {}
};

} // namespace

std::unique_ptr<ContactRecords> fritzBoxRecords(const QString&) {
    return std::make_unique<Unwritten>();
}

} // namespace tovanel
