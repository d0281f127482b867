// Reading vCard lines into the table: which properties a card's cells come from, and how their values
// are decoded into the cells.
#include "vcard/vcardreader.h"

#include "contacts/carddate.h"
#include "platform/linereader.h"
#include "vcard/asciicase.h"
#include "vcard/cardrules.h"
#include "vcard/decoders.h"
#include "vcard/fastdecoders.h"
#include "vcard/importmessages.h"
#include "vcard/logicallines.h"
#include "vcard/propertyline.h"
#include "vcard/textbuffer.h"
#include "vcard/valuetext.h"
#include "vcard/vcardreader_p.h"

#include <QFile>
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <thread>

namespace tovanel {

namespace {

using AsciiCase::is;
using PropertyLexer::Components;
using PropertyLexer::firstComponent;
using PropertyLexer::isBlank;
using PropertyLexer::Parameters;
using PropertyLexer::PropertyLine;

enum class Property {
    Other,
    Begin,
    End,
    FN,
    N,
    ORG,
    TEL,
    EMAIL,
    ADR,
    NOTE,
    UID,
    TITLE,
    CATEGORIES,
    BDAY,
    ANNIVERSARY, // also X-ANNIVERSARY
    KIND,        // also X-ADDRESSBOOKSERVER-KIND
    MEMBER,      // also X-ADDRESSBOOKSERVER-MEMBER
    ABDATE,      // Apple's labelled date, X-ABDATE
    ABLABEL,     // X-ABLABEL
    ABSHOWAS,    // X-ABSHOWAS
};

Property propertyOf(QByteArrayView name) {
    switch (name.size()) {
    case 1:
        return is(name, "N") ? Property::N : Property::Other;
    case 2:
        return is(name, "FN") ? Property::FN : Property::Other;
    case 3:
        if (is(name, "TEL")) {
            return Property::TEL;
        }
        if (is(name, "ORG")) {
            return Property::ORG;
        }
        if (is(name, "ADR")) {
            return Property::ADR;
        }
        if (is(name, "UID")) {
            return Property::UID;
        }
        return is(name, "END") ? Property::End : Property::Other;
    case 4:
        if (is(name, "NOTE")) {
            return Property::NOTE;
        }
        if (is(name, "BDAY")) {
            return Property::BDAY;
        }
        return is(name, "KIND") ? Property::KIND : Property::Other;
    case 5:
        if (is(name, "BEGIN")) {
            return Property::Begin;
        }
        if (is(name, "TITLE")) {
            return Property::TITLE;
        }
        return is(name, "EMAIL") ? Property::EMAIL : Property::Other;
    case 6:
        return is(name, "MEMBER") ? Property::MEMBER : Property::Other;
    case 8:
        return is(name, "X-ABDATE") ? Property::ABDATE : Property::Other;
    case 9:
        return is(name, "X-ABLABEL") ? Property::ABLABEL : Property::Other;
    case 10:
        if (is(name, "CATEGORIES")) {
            return Property::CATEGORIES;
        }
        return is(name, "X-ABSHOWAS") ? Property::ABSHOWAS : Property::Other;
    case 11:
        return is(name, "ANNIVERSARY") ? Property::ANNIVERSARY : Property::Other;
    case 13:
        return is(name, "X-ANNIVERSARY") ? Property::ANNIVERSARY : Property::Other;
    case 24:
        return is(name, "X-ADDRESSBOOKSERVER-KIND") ? Property::KIND : Property::Other;
    case 26:
        return is(name, "X-ADDRESSBOOKSERVER-MEMBER") ? Property::MEMBER : Property::Other;
    default:
        return Property::Other;
    }
}

QString replaceLineEndings(QString text, const QString& replacement) {
    text.replace(QStringLiteral("\r\n"), replacement);
    text.replace(QLatin1Char('\r'), replacement);
    text.replace(QLatin1Char('\n'), replacement);
    return text;
}

void appendString(Text& out, QStringView text) {
    out.append(text.utf16(), size_t(text.size()));
}

// Drops the white space at both ends of `text`, in place.
void trim(Text& text) {
    const char16_t* data = text.data();
    size_t end = text.size();
    while (end > 0 && QChar::isSpace(data[end - 1])) {
        --end;
    }
    size_t front = 0;
    while (front < end && QChar::isSpace(data[front])) {
        ++front;
    }
    text.resize(end);
    if (front > 0) {
        text.eraseFront(front);
    }
}

// Whether a property's values may be read as quoted-printable by their look, by the one rule.
template <size_t N> constexpr bool guesses(const char (&name)[N]) {
    return ValueText::guessesQuotedPrintable(std::string_view(name, N - 1));
}

class Reader {
public:
    // Reads the device up to `size` bytes (-1: to its end); `stop`, when given, is polled every chunk.
    Reader(QIODevice& device, const ReadProgress& progress, qint64 size,
           const std::atomic<bool>* stop = nullptr)
        : m_lines(device), m_progress(progress), m_stop(stop) {
        m_total = size;
        if (size >= 0) {
            m_lines.setEnd(size);
        }
        m_lines.setMaxLineLength(MaxLineLength);
        watchChunks();
    }
    // Reads the bytes [start, end) of a file of single bytes, `total` long.
    Reader(QIODevice& device, const ReadProgress& progress, qint64 start, qint64 end, qint64 total,
           const std::atomic<bool>* stop)
        : m_lines(device, start, end), m_progress(progress), m_stop(stop) {
        m_total = total;
        m_nextProgress = start + ProgressStep;
        watchChunks();
    }

    VcardReadResult run();

private:
    using Pending = LogicalLines::Line;

    bool handle(const Pending& line, QByteArrayView text);
    void apply(const Pending& pending, QByteArrayView line);
    void decode(Text& out, QByteArrayView raw, const Parameters& parameters, bool guessQuotedPrintable) {
        m_values.append(out, raw, parameters, guessQuotedPrintable);
    }
    Text& clearedField(Field field) {
        Text& text = m_fields[size_t(field)];
        text.clear();
        return text;
    }
    void openCard(qint64 begin);
    void closeCard();
    // Composes the name an N value gives into m_nName; m_nUsable tells whether it is a name at all.
    void composeName(QByteArrayView value, const Parameters& parameters);
    // Appends one part of N (its values joined by spaces) to `out`, a space before it; true if it had text.
    bool appendNamePart(QByteArrayView part, const Parameters& parameters, Text& out);
    // Decodes each value of a list whose commas no backslash escapes ("Hans,Peter") into the scratch
    // text and hands it to `take`.
    template <typename Take>
    void forEachValue(QByteArrayView values, const Parameters& parameters, bool guess, Take take);
    // A card without a name of its own is named by its N, else its company, else its first e-mail.
    void fallBackName();
    // The name with the family name first, from N: as a length of the name's end, or as a text.
    int familyFirst();
    // The numbers besides those in the telephone cells, and the e-mail addresses besides the cell's.
    void otherNumbersAndAddresses();
    // A date line's value, decoded.
    std::optional<CardDate> date(const PropertyLine& line);
    // "item1" of "item1.X-ABDATE:…"
    static QByteArrayView groupOf(QByteArrayView line);

    // Progress is told per chunk rather than per line, so a file without line breaks is no different.
    void watchChunks() {
        if (!m_progress && m_stop == nullptr) {
            return;
        }
        m_lines.setChunkHook([this](qint64 read) {
            if (m_stop != nullptr && m_stop->load(std::memory_order_relaxed)) {
                return false;
            }
            if (!m_progress) {
                return true;
            }
            // Every megabyte, and at least every 50 ms: the caller's window then answers a click to
            // cancel at once, and comes up in time on a slow disk.
            const auto now = std::chrono::steady_clock::now();
            if (read >= m_nextProgress || now >= m_nextProgressTime) {
                m_nextProgress = read + ProgressStep;
                m_nextProgressTime = now + ProgressInterval;
                return m_progress(read, m_total);
            }
            return true;
        });
    }

    static constexpr qint64 ProgressStep = 1 << 20;
    static constexpr std::chrono::milliseconds ProgressInterval{50};
    LineReader m_lines;
    const ReadProgress& m_progress;
    const std::atomic<bool>* m_stop;
    qint64 m_nextProgress = ProgressStep;
    std::chrono::steady_clock::time_point m_nextProgressTime =
        std::chrono::steady_clock::now() + ProgressInterval;
    qint64 m_total = -1;
    VcardReadResult m_result;

    std::string m_logical;
    ValueText m_values;
    bool m_inCard = false;
    bool m_cardOpen = false;
    std::array<Text, StoredFieldCount> m_fields;
    Text m_scratch;
    std::uint8_t m_bold = 0;
    // What names a card that has no FN: its N line, composed only for such a card, and its first e-mail.
    std::string m_nLine;
    Pending m_nPending;
    bool m_nSeen = false;
    Text m_nName;
    bool m_nUsable = false;
    Text m_firstEmail;
    bool m_emailSeen = false;
    // Every number and e-mail address of the card, one per line, and how many.
    Text m_phones;
    int m_phoneCount = 0;
    Text m_number;
    Text m_emails;
    int m_emailCount = 0;
    std::uint32_t m_birthday = 0;
    std::vector<std::uint32_t> m_anniversaries;
    // Apple's labelled dates and labels, by group: a date is an anniversary when its label says so.
    std::vector<std::pair<std::string, std::uint32_t>> m_labelledDates;
    std::vector<std::string> m_anniversaryLabels;
    bool m_groupCard = false;
    bool m_showsCompany = false;
    QStringList m_categories;
    qint64 m_cardBegin = 0;
    qint64 m_cardEnd = -1;
};

void Reader::openCard(qint64 begin) {
    closeCard();
    m_cardOpen = true;
    m_cardBegin = begin;
    m_cardEnd = -1;
    m_bold = 0;
    m_nSeen = false;
    m_firstEmail.clear();
    m_emailSeen = false;
    m_phones.clear();
    m_phoneCount = 0;
    m_emails.clear();
    m_emailCount = 0;
    m_birthday = 0;
    m_anniversaries.clear();
    m_labelledDates.clear();
    m_anniversaryLabels.clear();
    m_groupCard = false;
    m_showsCompany = false;
    m_categories.clear();
    for (Text& field : m_fields) {
        field.clear();
    }
}

namespace {
bool isBlankText(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
}
} // namespace

namespace {
// Whether `text` is `part` of N as it reads: a part that parameters neither encode nor give a charset
// reads as its bytes stand when it is one value of printable ASCII, with nothing to unescape and no blank
// at its ends to trim.
bool spellsPlainPart(QStringView text, QByteArrayView part) {
    if (part.isEmpty() || text.size() != part.size() || part.front() == ' ' || part.back() == ' ') {
        return false;
    }
    for (qsizetype i = 0; i < part.size(); ++i) {
        const char c = part[i];
        if (c < 0x20 || c > 0x7E || c == ',' || c == '\\' || text[i].unicode() != char16_t(c)) {
            return false;
        }
    }
    return true;
}
} // namespace

void Reader::fallBackName() {
    if (!isBlankText(m_fields[size_t(Field::Name)].view())) {
        return;
    }
    Text& name = m_fields[size_t(Field::Name)];
    m_nUsable = false;
    if (m_nSeen) {
        const PropertyLine n(QByteArrayView(m_nLine.data(), qsizetype(m_nLine.size())), m_nPending.keyEnd,
                             m_nPending.unquotedKey);
        composeName(n.value, n.parameters);
    }
    if (m_nUsable) {
        name.swap(m_nName);
    } else if (const QStringView firma = m_fields[size_t(Field::Company)].view(); !isBlankText(firma)) {
        name.clear();
        appendString(name, firma.trimmed());
    } else if (!isBlankText(m_firstEmail.view())) {
        name.clear();
        appendString(name, m_firstEmail.view().trimmed());
    }
}

int Reader::familyFirst() {
    if (!m_nSeen || m_showsCompany) {
        return 0;
    }
    const PropertyLine n(QByteArrayView(m_nLine.data(), qsizetype(m_nLine.size())), m_nPending.keyEnd,
                         m_nPending.unquotedKey);
    const Components parts(n.value, CardRules::NameParts);
    Text& family = m_fields[size_t(Field::FamilyFirst)];
    family.clear();
    // Most cards give their name in plain ASCII and show it as "Given Family": then the length of the
    // family name is all there is to keep, and is found without decoding the parts.
    if (const Parameters& p = n.parameters; !p.quotedPrintable && !p.base64 && p.charset.isEmpty() &&
                                            parts[2].isEmpty() && !parts[1].isEmpty() &&
                                            parts[0].size() <= ContactTable::MaxFamilyLength) {
        const QStringView name = m_fields[size_t(Field::Name)].view();
        const qsizetype given = parts[1].size();
        if (name.size() == given + 1 + parts[0].size() && name[given] == u' ' &&
            spellsPlainPart(name.first(given), parts[1]) &&
            spellsPlainPart(name.sliced(given + 1), parts[0])) {
            return int(parts[0].size());
        }
    }
    if (!appendNamePart(parts[0], n.parameters, family)) {
        return 0;
    }
    Text& given = m_nName;
    given.clear();
    appendNamePart(parts[1], n.parameters, given);
    appendNamePart(parts[2], n.parameters, given);
    const QStringView name = m_fields[size_t(Field::Name)].view();
    const QStringView familyText = family.view();
    const QStringView givenText = given.view();
    if (givenText.isEmpty()
            ? name == familyText
            : name.size() == givenText.size() + 1 + familyText.size() && name.startsWith(givenText) &&
                  name.endsWith(familyText) && name[givenText.size()] == u' ') {
        const auto length = int(familyText.size());
        if (givenText.isEmpty() || length <= ContactTable::MaxFamilyLength) {
            family.clear();
            return givenText.isEmpty() ? 0 : length;
        }
        // Too long for its length to be kept: kept as text.
    }
    if (!givenText.isEmpty()) {
        family.push_back(u',');
        family.push_back(u' ');
        family.append(given.data(), given.size());
    }
    return 0;
}

void Reader::otherNumbersAndAddresses() {
    // Most cards show every number in a cell, and have one e-mail address.
    int shown = 0;
    for (const Field field : {Field::MobilePhone, Field::HomePhone, Field::WorkPhone}) {
        shown += m_fields[size_t(field)].size() != 0 ? 1 : 0;
    }
    if (m_phoneCount > shown) {
        std::array<QStringView, 3> cells{m_fields[size_t(Field::MobilePhone)].view(),
                                         m_fields[size_t(Field::HomePhone)].view(),
                                         m_fields[size_t(Field::WorkPhone)].view()};
        Text& others = m_fields[size_t(Field::OtherPhones)];
        for (const QStringView number : m_phones.view().tokenize(u'\n')) {
            const auto cell = std::find(cells.begin(), cells.end(), number);
            if (cell != cells.end() && !number.isEmpty()) {
                *cell = QStringView(); // each cell's number once
                continue;
            }
            if (!number.isEmpty()) {
                if (others.size() != 0) {
                    others.push_back(u'\n');
                }
                appendString(others, number);
            }
        }
    }
    if (m_emailCount > 1) {
        // The cell holds the last address; the others are those before it.
        const QStringView all = m_emails.view();
        Text& others = m_fields[size_t(Field::OtherEmails)];
        for (const QStringView address :
             all.first(std::max<qsizetype>(all.lastIndexOf(u'\n'), 0)).tokenize(u'\n', Qt::SkipEmptyParts)) {
            if (others.size() != 0) {
                others.push_back(u'\n');
            }
            appendString(others, address);
        }
    }
}

QByteArrayView Reader::groupOf(QByteArrayView line) {
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == '.') {
            return line.first(i);
        }
        if (line[i] == ':' || line[i] == ';') {
            break;
        }
    }
    return {};
}

std::optional<CardDate> Reader::date(const PropertyLine& line) {
    Text& text = m_scratch;
    text.clear();
    decode(text, line.value, line.parameters, false);
    return cardDate(text.view());
}

void Reader::closeCard() {
    if (!m_cardOpen) {
        return;
    }
    fallBackName();
    const int familyLength = familyFirst();
    otherNumbersAndAddresses();
    if (m_groupCard) {
        // A group card is told by its members' field, which then starts with a line break.
        Text& members = m_fields[size_t(Field::Members)];
        Text listed;
        listed.swap(members);
        members.push_back(u'\n');
        members.append(listed.data(), listed.size());
    } else {
        m_fields[size_t(Field::Members)].clear();
    }
    std::array<QStringView, StoredFieldCount> texts;
    for (size_t i = 0; i < texts.size(); ++i) {
        texts[i] = m_fields[i].view();
    }
    m_result.table->append(texts, m_bold, m_cardBegin, m_cardEnd, familyLength, m_birthday);
    for (const std::uint32_t date : m_anniversaries) {
        m_result.table->addAnniversary(date);
    }
    if (!m_categories.isEmpty()) {
        // Each group once; their order is the list's, found once it is read.
        std::sort(m_categories.begin(), m_categories.end());
        m_categories.erase(std::unique(m_categories.begin(), m_categories.end()), m_categories.end());
        m_result.table->setLastGroupNames(m_categories);
    }
    for (const auto& [group, date] : m_labelledDates) {
        if (std::find(m_anniversaryLabels.begin(), m_anniversaryLabels.end(), group) !=
            m_anniversaryLabels.end()) {
            m_result.table->addAnniversary(date);
        }
    }
    m_cardOpen = false;
}

// Returns false when the line stops the reading (an "END" outside a card).
bool Reader::handle(const Pending& line, QByteArrayView text) {
    switch (Property(line.kind)) {
    case Property::Begin:
        openCard(line.start);
        m_inCard = true;
        return true;
    case Property::End:
        if (!m_inCard) {
            return false;
        }
        m_inCard = false;
        m_cardEnd = line.end;
        closeCard();
        return true;
    case Property::Other:
        return true;
    default:
        if (line.keep) {
            apply(line, text);
        }
        return true;
    }
}

void Reader::composeName(QByteArrayView value, const Parameters& parameters) {
    m_nName.clear();
    m_nUsable = false;
    const Components parts(value, CardRules::NameParts);
    for (const int index : CardRules::NameOrder) {
        m_nUsable |= appendNamePart(parts[index], parameters, m_nName) && CardRules::isNamePart(index);
    }
}

template <typename Take>
void Reader::forEachValue(QByteArrayView values, const Parameters& parameters, bool guess, Take take) {
    QByteArrayView rest = values;
    bool more = !rest.isEmpty();
    while (more) {
        const QByteArrayView value = PropertyLexer::takeComponent(rest, ',', more);
        Text& piece = m_scratch;
        piece.clear();
        decode(piece, value, parameters, guess);
        take(piece);
    }
}

bool Reader::appendNamePart(QByteArrayView part, const Parameters& parameters, Text& out) {
    bool added = false;
    // Several values of one part ("Hans,Peter") are joined by blanks.
    forEachValue(part, parameters, guesses("N"), [&](const Text& piece) {
        if (const QStringView text = piece.view().trimmed(); !text.isEmpty()) {
            if (out.size() != 0) {
                out.push_back(u' ');
            }
            appendString(out, text);
            added = true;
        }
    });
    return added;
}

void Reader::apply(const Pending& pending, QByteArrayView line) {
    const PropertyLine p(line, pending.keyEnd, pending.unquotedKey);
    const Parameters& params = p.parameters;
    switch (Property(pending.kind)) {
    case Property::FN:
        decode(clearedField(Field::Name), p.value, params, guesses("FN"));
        break;
    case Property::NOTE:
        decode(clearedField(Field::Note), p.value, params, guesses("NOTE"));
        break;
    case Property::UID: {
        // Kept only to find the same contact again; blanks around it are no part of it. The last line
        // wins, as for every other single value, so that the cells of a card follow one rule.
        Text& uid = clearedField(Field::Uid);
        decode(uid, p.value, params, guesses("UID"));
        trim(uid);
        break;
    }
    case Property::ORG: {
        const Components parts(p.value, 2);
        decode(clearedField(Field::Company), parts[0], params, guesses("ORG"));
        decode(clearedField(Field::Department), parts[1], params, guesses("ORG"));
        break;
    }
    case Property::TITLE:
        decode(clearedField(Field::Title), p.value, params, guesses("TITLE"));
        break;
    case Property::CATEGORIES: {
        forEachValue(p.value, params, guesses("CATEGORIES"), [&](const Text& piece) {
            if (const QStringView text = piece.view().trimmed(); !text.isEmpty() && !piece.hasLineBreak()) {
                m_categories.append(text.toString());
            }
        });
        break;
    }
    case Property::BDAY: {
        if (const std::optional<CardDate> birthday = date(p)) {
            m_birthday = birthday->packed();
            m_fields[size_t(Field::BirthdayText)].clear();
        } else if (const QStringView text = m_scratch.view().trimmed(); !text.isEmpty()) {
            m_birthday = 0;
            Text& written = clearedField(Field::BirthdayText);
            appendString(written, text);
        }
        break;
    }
    case Property::ANNIVERSARY:
        if (const std::optional<CardDate> day = date(p)) {
            m_anniversaries.push_back(day->packed());
        }
        break;
    case Property::ABDATE:
        if (const std::optional<CardDate> day = date(p); day && !groupOf(line).isEmpty()) {
            const QByteArrayView group = groupOf(line);
            m_labelledDates.emplace_back(std::string(group.data(), size_t(group.size())), day->packed());
        }
        break;
    case Property::ABLABEL: {
        Text& label = m_scratch;
        label.clear();
        decode(label, p.value, params, false);
        if (label.view().trimmed().compare(u"_$!<Anniversary>!$_", Qt::CaseInsensitive) == 0) {
            const QByteArrayView group = groupOf(line);
            m_anniversaryLabels.emplace_back(group.data(), size_t(group.size()));
        }
        break;
    }
    case Property::ABSHOWAS:
        m_showsCompany = AsciiCase::is(p.value.trimmed(), "COMPANY");
        break;
    case Property::KIND:
        m_groupCard = AsciiCase::is(p.value.trimmed(), "group");
        break;
    case Property::MEMBER: {
        Text& members = m_fields[size_t(Field::Members)];
        Text& member = m_scratch;
        member.clear();
        decode(member, p.value, params, false);
        if (const QStringView text = member.view().trimmed(); !text.isEmpty() && !member.hasLineBreak()) {
            if (members.size() != 0) {
                members.push_back(u'\n');
            }
            appendString(members, text);
        }
        break;
    }
    case Property::N:
        // Most cards have an FN: the N is composed at the card's end only when it is needed.
        m_nLine.assign(line.data(), size_t(line.size()));
        m_nPending = pending;
        m_nSeen = true;
        break;
    case Property::EMAIL: {
        Text& email = clearedField(Field::Email);
        decode(email, firstComponent(p.value), params, guesses("EMAIL"));
        if (!m_emailSeen) {
            m_emailSeen = true;
            m_firstEmail.append(email.data(), email.size());
        }
        // Each address is a line, one across lines an empty one: the last line stays the cell's.
        if (m_emailCount++ != 0) {
            m_emails.push_back(u'\n');
        }
        if (!email.hasLineBreak()) {
            m_emails.append(email.data(), email.size());
        }
        break;
    }
    case Property::TEL: {
        // Every number is kept for the column of all numbers; a cell takes the one its rule gives it.
        Text& number = m_scratch;
        number.clear();
        decode(number, firstComponent(p.value), params, guesses("TEL"));
        Text& shown = m_number;
        shown.clear();
        telephoneText(number, shown);
        // Counted as the cells count it, even when it is left out for running across lines.
        if (m_phoneCount++ != 0) {
            m_phones.push_back(u'\n');
        }
        if (!shown.hasLineBreak()) {
            m_phones.append(shown.data(), shown.size());
        }
        const std::optional<Field> telephone = CardRules::telephoneField(params);
        if (!telephone) {
            break;
        }
        const Field field = *telephone;
        const std::uint8_t bold = ContactTable::boldBit(field);
        if (!CardRules::replacesNumber(m_fields[size_t(field)].size() != 0, (m_bold & bold) != 0,
                                       params.pref)) {
            break;
        }
        clearedField(field).swap(shown);
        m_bold = params.pref ? std::uint8_t(m_bold | bold) : std::uint8_t(m_bold & ~bold);
        break;
    }
    case Property::ADR: {
        const bool work = CardRules::isWorkAddress(params);
        const Components parts(p.value, 7);
        const auto part = [&](Field field, qsizetype index) {
            Text& text = m_scratch;
            text.clear();
            decode(text, parts[index], params, guesses("ADR"));
            Text& cell = clearedField(field);
            if (!text.hasLineBreak()) {
                cell.swap(text);
            } else {
                appendString(cell, replaceLineEndings(text.view().toString(), QStringLiteral(", ")));
            }
        };
        part(work ? Field::WorkStreet : Field::HomeStreet, 2);
        part(work ? Field::WorkCity : Field::HomeCity, 3);
        part(work ? Field::WorkPostalCode : Field::HomePostalCode, 5);
        part(work ? Field::WorkCountry : Field::HomeCountry, 6);
        break;
    }
    default:
        break;
    }
}

VcardReadResult Reader::run() {
    bool first = true;
    const auto classify = [&](QByteArrayView name, Pending& line) {
        if (first) {
            m_values.setUnicodeSource(m_lines.encoding() != LineReader::Encoding::Bytes);
            first = false;
        }
        const Property property = propertyOf(name);
        line.kind = int(property);
        line.keep = m_inCard && property != Property::Other && property != Property::Begin &&
                    property != Property::End;
    };
    const bool stopped = !LogicalLines::forEach(
        m_lines, m_logical, classify,
        [this](const Pending& line, QByteArrayView text) { return handle(line, text); });
    closeCard();
    if (m_lines.cancelled()) {
        VcardReadResult cancelled;
        cancelled.status = VcardReadResult::Status::Cancelled;
        return cancelled;
    }
    if (m_lines.failed()) {
        m_result.status = VcardReadResult::Status::ReadError;
        m_result.error = m_lines.errorString();
    } else if (stopped) {
        m_result.status = VcardReadResult::Status::StrayEnd;
    }
    if (m_progress && !stopped) {
        m_progress(m_lines.bytesRead(), m_total);
    }
    return std::move(m_result);
}

} // namespace

VcardReadResult VcardReading::readLines(QIODevice& device, const ReadOptions& options, qint64 size) {
    if (options.rangeStart >= 0) {
        Reader reader(device, options.progress, options.rangeStart, options.rangeEnd, size, options.stop);
        return reader.run();
    }
    Reader reader(device, options.progress, size, options.stop);
    return reader.run();
}

VcardReadResult readVcard(QIODevice& device, const ReadOptions& options) {
    const qint64 size = options.size >= 0 ? options.size : device.isSequential() ? -1 : device.size();
    if (options.rangeStart >= 0 || options.partBytes == ReadOptions::OneThread) {
        return VcardReading::readLines(device, options, size);
    }
    if (options.partBytes > 0) {
        return VcardReading::readInParts(device, options, options.partBytes, size);
    }
    // Large files are read by two threads; below this the second thread costs more than it saves.
    constexpr qint64 TwoThreadsFrom = 16 << 20;
    if (!device.isSequential() && size >= TwoThreadsFrom && std::thread::hardware_concurrency() >= 2) {
        // Eight parts, which the two threads take in turn: a thread that gets less of the processor
        // from other programs then reads fewer of them, rather than keeping the other waiting.
        return VcardReading::readInParts(device, options, (size + 7) / 8, size);
    }
    return VcardReading::readLines(device, options, size);
}

VcardReadResult readVcardFile(const QString& path, ReadOptions options) {
    VcardReadResult result;
    try {
        QFile file;
        FileStamp stamp;
        QString reason;
        if (!openRegularFile(path, file, &stamp, &reason)) {
            result.status = VcardReadResult::Status::ReadError;
            result.error = reason;
            return result;
        }
        options.size = stamp.size;
        result = readVcard(file, options);
        result.table->setSource(std::make_shared<const ContactSource>(ContactSource{path, stamp}));
        if (result.status == VcardReadResult::Status::ReadError) {
            result.error = readFailureReason(path, result.error);
        }
    } catch (const std::bad_alloc&) {
        // The partial tables are gone with the unwinding; what is left is enough for the message.
        result.table.reset();
        result.table = std::make_shared<ContactTable>();
        result.status = VcardReadResult::Status::OutOfMemory;
        result.error.clear();
    }
    return result;
}

} // namespace tovanel
