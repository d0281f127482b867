// The vCard writer on arbitrary bytes: a card read as the import reads it and written in each version is
// written again alike from what it wrote (no value that changes or grows with each writing), and the import
// reads the same cells from both.
#include "card/versionedcard.h"
#include "vcard/vcardreader.h"

#include <QBuffer>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace tovanel;

namespace {
void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

QStringList cells(const QByteArray& bytes) {
    QByteArray copy = bytes;
    QBuffer in(&copy);
    in.open(QIODevice::ReadOnly);
    const VcardReadResult read = readVcard(in);
    QStringList texts;
    for (qsizetype contact = 0; read.table && contact < read.table->size(); ++contact) {
        for (int i = 0; i < FieldCount; ++i) {
            texts << read.table->text(contact, Field(i)).toString();
        }
    }
    return texts;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const VcardVersion version : {VcardVersion::V21, VcardVersion::V30, VcardVersion::V40}) {
        CardRewrites rewrites;
        const QByteArray once =
            versionedCard(input, false, QStringLiteral("Jürgen Müller"), version, input, rewrites);
        const QByteArray twice =
            versionedCard(once, false, QStringLiteral("Jürgen Müller"), version, input, rewrites);
        if (twice != once) {
            // The finding's two writings, to tell where they part.
            std::fprintf(stderr, "once:\n%s\ntwice:\n%s\n", once.constData(), twice.constData());
            std::abort();
        }
        check(cells(twice) == cells(once));
    }
    return 0;
}
