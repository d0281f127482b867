// Bytes -> import -> both lists, every cell read back. Besides crashes it checks what the rest of the
// program relies on: card positions inside the file and in order, and line positions that do not depend
// on how the file happens to be cut into chunks. The first cards are also read whole, as the detail window
// reads them, and the bytes are offered to the photo decoding as a picture, also inside GIF and icon
// headers that claim another size. The duplicate groups come out the same when every key's hash collides.
#include "card/cardrows.h"
#include "contactlist/birthdaylist.h"
#include "contactlist/contactfilter.h"
#include "contactlist/contactlistmodel.h"
#include "contactlist/listkeys.h"
#include "contacts/duplicates.h"
#include "platform/linereader.h"
#include "vcard/vcardreader.h"

#include <QBuffer>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <vector>

using namespace tovanel;

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

struct Line {
    QByteArray text;
    qint64 start;
    qint64 end;
    bool operator==(const Line&) const = default;
};

std::vector<Line> lines(const QByteArray& bytes, qsizetype chunkSize, qsizetype maxLine = -1,
                        bool* utf16 = nullptr) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    LineReader reader(buffer, chunkSize);
    if (maxLine > 0) {
        reader.setMaxLineLength(maxLine);
    }
    std::vector<Line> out;
    QByteArrayView line;
    int peeked = -1;
    while (reader.readLine(line)) {
        check(reader.lineStart() <= reader.position() && reader.position() <= bytes.size());
        check(out.empty() || out.back().end == reader.lineStart());
        // What peek() promised is what came.
        check(out.empty() || peeked >= 0);
        if (peeked >= 0 && peeked < 0x80) {
            check(line.isEmpty() ? (peeked == '\r' || peeked == '\n')
                                 : static_cast<unsigned char>(line[0]) == peeked);
        }
        out.push_back({line.toByteArray(), reader.lineStart(), reader.position()});
        peeked = reader.peek();
        check(reader.currentLine() == out.back().text);
    }
    check(peeked == -1);
    check(!reader.failed());
    if (utf16) {
        *utf16 = reader.encoding() != LineReader::Encoding::Bytes;
    }
    return out;
}

void readBack(const ContactListModel& model) {
    for (int row = 0; row < model.rowCount(); ++row) {
        for (int column = 0; column < model.columnCount(); ++column) {
            const QString text = model.cell(row, column);
            (void)model.isBold(row, column);
            check(!text.isNull() || text.isEmpty());
        }
    }
}

void checkRows(const QList<CardRow>& rows) {
    for (const CardRow& row : rows) {
        check(!row.label.isEmpty());
        // A picture is kept at preview size only, and is as large as its row says.
        check(row.image.isNull() || (row.image.width() <= PhotoPreviewWidth &&
                                     row.image.height() <= PhotoPreviewHeight && !row.photoSize.isEmpty()));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const VcardReadResult result = readVcard(buffer);
    check(result.status != VcardReadResult::Status::ReadError);

    const ContactTable& table = *result.table;
    // Whatever the bytes, the table stays within eight bytes per input byte, beyond the first text
    // block and contact chunk: a 6-byte "BEGIN" line costs one 24-byte contact.
    constexpr qsizetype Allowance = qsizetype(4) << 20;
    check(table.bytesUsed() <= 8 * qsizetype(size) + Allowance);
    qint64 previousBegin = -1;
    for (qsizetype i = 0; i < table.size(); ++i) {
        const qint64 begin = table.beginPosition(i);
        const qint64 end = table.endPosition(i);
        check(begin > previousBegin && begin < bytes.size());
        check(end == -1 || (end > begin && end <= bytes.size()));
        previousBegin = begin;
    }

    ContactListModel contactModel(ContactListModel::List::Contacts);
    ContactListModel addressModel(ContactListModel::List::Addresses);
    contactModel.setTable(result.table);
    addressModel.setTable(result.table);
    check(contactModel.rowCount() == addressModel.rowCount());
    readBack(contactModel);
    readBack(addressModel);

    // The groups, the names turned round in every column, and the birthdays seen from a leap day.
    result.table->setGroups(std::make_shared<const ContactGroups>(findContactGroups(*result.table)));
    contactModel.setNameOrder(NameOrder::FamilyFirst);
    readBack(contactModel);
    std::vector<std::uint32_t> all(size_t(table.size()));
    std::iota(all.begin(), all.end(), 0u);
    // The list's search index finds what the contacts' own fields hold: a piece of the first name, the
    // name turned round, a number's first digits, an e-mail address's "@".
    if (const SearchIndex* index = contactModel.shownList().keys->searchIndex(); index && table.size() > 0) {
        const QString name = table.text(0, Field::Name).toString();
        const QString number = table.text(0, Field::MobilePhone).toString();
        for (const QString& text : {name.mid(name.size() / 3, 3), name + QStringLiteral(", ") + name.left(2),
                                    number.left(4), QStringLiteral("@")}) {
            ContactFilter filter;
            filter.text = text;
            check(filterContacts(table, all, filter, index) == filterContacts(table, all, filter));
        }
    }
    for (const BirthdayEvent& event : birthdayEvents(ContactList{table, all}, QDate(2024, 2, 29))) {
        check(event.daysUntil <= 365 && event.contact < all.size());
    }

    // Each group is named by its first contact; comparing the keys alone finds the same groups.
    const std::vector<std::uint32_t> groups = findDuplicateGroups(table);
    check(groups.empty() || qsizetype(groups.size()) == table.size());
    for (size_t i = 0; i < groups.size(); ++i) {
        check(groups[i] == 0 || (groups[i] <= i + 1 && groups[groups[i] - 1] == groups[i]));
    }
    check(findDuplicateGroups(table, 0) == groups);

    // The whole-card reading of the first few cards, from the bytes the detail window would read.
    for (qsizetype i = 0; i < std::min<qsizetype>(table.size(), 4); ++i) {
        const qint64 end = table.endPosition(i) >= 0 ? table.endPosition(i) : bytes.size();
        const qint64 begin = table.beginPosition(i);
        checkRows(furtherCardRows(bytes.sliced(begin, end - begin), false));
    }
    // The input as a photo, in the forms cards embed one (also without ENCODING, and with the data
    // address's comma escaped), and inside headers that claim another size than the picture has: a GIF's
    // canvas from the input's first bytes around a frame of 1x1, and an icon of 16x16 around the input.
    const auto littleEndian = [](quint32 value, int bytes) {
        QByteArray out;
        for (int i = 0; i < bytes; ++i) {
            out += char((value >> (8 * i)) & 0xFF);
        }
        return out;
    };
    const QByteArray canvas = (bytes + QByteArray(4, '\xff')).first(4);
    const QByteArray gif =
        "GIF89a" + canvas + QByteArray("\x80\0\0\0\0\0\xff\xff\xff,\0\0\0\0\1\0\1\0\0", 19) + bytes;
    const QByteArray icon = QByteArray("\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0", 14) +
                            littleEndian(quint32(bytes.size()), 4) + littleEndian(22, 4) + bytes;
    for (const QByteArray& picture : {bytes, gif, icon}) {
        const QByteArray base64 = picture.toBase64();
        for (const QByteArray& photo :
             {"PHOTO;ENCODING=b:" + base64, "PHOTO;ENCODING=BASE64;TYPE=JPEG:" + base64,
              "PHOTO:data:image/png;base64," + base64, "PHOTO:" + base64,
              "PHOTO:data:image/png;base64\\," + base64}) {
            checkRows(furtherCardRows("BEGIN:VCARD\nVERSION:3.0\n" + photo + "\nEND:VCARD\n", false));
        }
    }

    // Small chunks put every line ending and every UTF-16 code unit on a chunk border somewhere.
    const qsizetype chunk = size > 0 ? 16 + data[0] % 48 : 16;
    bool utf16 = false;
    const std::vector<Line> whole = lines(bytes, qsizetype(size) + 16, -1, &utf16);
    check(lines(bytes, chunk) == whole);

    // Lines beyond a limit are cut, at the same positions.
    const qsizetype maxLine = size > 1 ? 2 + data[1] % 40 : 2;
    const std::vector<Line> cut = lines(bytes, chunk, maxLine);
    check(cut.size() == whole.size());
    for (size_t i = 0; i < cut.size(); ++i) {
        check(cut[i].start == whole[i].start && cut[i].end == whole[i].end);
        if (utf16) {
            check(cut[i].text.size() <= 3 * maxLine / 2);
        } else {
            check(cut[i].text == whole[i].text.first(std::min(whole[i].text.size(), maxLine)));
        }
    }
    return 0;
}
