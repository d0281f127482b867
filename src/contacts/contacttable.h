#pragma once

#include "contacts/contactgroups.h"
#include "contacts/contactsource.h"
#include "contacts/fields.h"
#include "platform/regularfile.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace tovanel {

// All contacts of one import, in file order: of one file, or of several one after the other. Built once by
// the import and read-only afterwards, so the views can share it.
//
// A contact's texts sit next to each other in large blocks of UTF-16, behind a small header with the
// end offsets of its non-empty fields. Per contact only a block reference, a mask of the non-empty
// fields, the bold flags and the card's position are kept: 24 bytes, so even a file of nothing but
// "BEGIN" lines costs less memory per contact than its bytes take eight times over.
class ContactTable final {
public:
    ContactTable() = default;
    Q_DISABLE_COPY_MOVE(ContactTable)

    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }

    QStringView text(qsizetype contact, Field field) const;
    // Telephone fields only: the number was marked as preferred.
    bool isBold(qsizetype contact, Field field) const;
    // Byte offset just past the contact's "END" line, -1 when its card had none.
    qint64 endPosition(qsizetype contact) const;
    // Byte offset of the contact's "BEGIN" line.
    qint64 beginPosition(qsizetype contact) const { return at(contact).begin; }
    // Asks for the contact's record ahead of reading its texts: a pass over many contacts in another
    // order than the table's then waits for many records at once rather than for each in turn.
    void prefetch(qsizetype contact) const { __builtin_prefetch(&at(contact)); }

    // Appends a contact; `texts` are the field values in Field order. `familyLength`: how many characters
    // at the end of the name are its family name (familyFirstName), 0 for none; `birthday` a packed
    // CardDate, 0 for none.
    void append(const std::array<QStringView, StoredFieldCount>& texts, std::uint8_t boldMask, qint64 begin,
                qint64 end, int familyLength = 0, std::uint32_t birthday = 0);
    // The longest family name `append` takes as a length; a longer one is given as Field::FamilyFirst.
    static constexpr int MaxFamilyLength = 31;
    // An anniversary of the contact added last (a packed CardDate).
    void addAnniversary(std::uint32_t date);

    // The name with the family name first: "Müller, Jürgen Peter"; the name as it is when the card
    // gives no family name, and for a company.
    QString familyFirstName(qsizetype contact) const;
    // The family name where the card gives one the name ends in; empty otherwise.
    QStringView familyName(qsizetype contact) const;
    // 0: no birthday (or none that is a date: see Field::BirthdayText).
    std::uint32_t birthday(qsizetype contact) const {
        return m_birthdays.empty() ? 0 : m_birthdays[size_t(contact)];
    }
    bool hasBirthdays() const { return !m_birthdays.empty(); }
    // Every anniversary, as (contact, packed CardDate), by contact.
    const std::vector<std::pair<std::uint32_t, std::uint32_t>>& anniversaries() const {
        return m_anniversaries;
    }
    // Moves every contact of `other` behind this table's contacts; `other` is left empty. The texts
    // change owner without being copied, except those of a table that fills little of its one block: they
    // are copied behind this table's own.
    void appendTable(ContactTable& other);
    // Sets the end position of the contact added last.
    void setLastEndPosition(qint64 end);

    // The file every contact of this table was read from (the reader sets it for a table read from a file).
    void setSource(std::shared_ptr<const ContactSource> source);
    // A list of several files: appends the contacts of `other`, and the files they were read from, as
    // appendTable does. The positions of its cards stay those in their own files.
    void appendFile(ContactTable& other);
    // Room for `count` more files, so that appending them to an empty table cannot fail.
    void reserveFiles(qsizetype count) { m_files.reserve(m_files.size() + size_t(count)); }
    // Appends the contacts and files of a table others still read: the texts are shared, not copied.
    void appendShared(const ContactTable& other);
    // The files the contacts came from; none for a table read from no file.
    int fileCount() const { return int(m_files.size()); }
    // The file contact `contact` came from, -1 for none.
    int fileOf(qsizetype contact) const;
    const std::shared_ptr<const ContactSource>& fileSource(int file) const {
        return m_files[size_t(file)].source;
    }
    // The paths of the files, file by file.
    QStringList filePaths() const;
    // The first contact of a file.
    qsizetype fileStart(int file) const { return m_files[size_t(file)].first; }
    // The file of a contact, null for none.
    std::shared_ptr<const ContactSource> sourceOf(qsizetype contact) const;

    // Contacts that are the same person (a shared number, e-mail address or UID) share a group: the
    // number of the group's first contact plus one. 0: the contact has no duplicate.
    void setDuplicateGroups(std::vector<std::uint32_t> groups) { m_duplicateGroups = std::move(groups); }
    std::uint32_t duplicateGroup(qsizetype contact) const {
        return m_duplicateGroups.empty() ? 0 : m_duplicateGroups[size_t(contact)];
    }
    bool isDuplicate(qsizetype contact) const { return duplicateGroup(contact) != 0; }
    // The groups a contact is in, by name: its CATEGORIES as the reader gives them (setLastGroupNames), and
    // once the list is read, the groups of the group cards too, in German order (findContactGroups).
    // Contacts in the same groups share one entry, so a list keeps 4 bytes a contact for its groups.
    const QStringList& groupNames(qsizetype contact) const { return m_groupSetNames[groupSet(contact)]; }
    const QStringList& groupSetNames(std::uint32_t set) const { return m_groupSetNames[set]; }
    // The entry of a contact's groups, 0 for none.
    std::uint32_t groupSet(qsizetype contact) const {
        return m_groupSets.empty() ? 0 : m_groupSets[size_t(contact)];
    }
    std::uint32_t groupSetCount() const { return std::uint32_t(m_groupSetNames.size()); }
    // The groups of the contact added last.
    void setLastGroupNames(const QStringList& names);
    // Every contact's groups anew: an entry for each contact, and the names of each entry (entry 0 none).
    void setGroupSets(std::vector<std::uint32_t> sets, std::vector<QStringList> names);
    // The groups of the list, found once it is read (findContactGroups).
    void setGroups(std::shared_ptr<const ContactGroups> groups) { m_groups = std::move(groups); }
    const ContactGroups& groups() const;

    // The other contacts of a contact's group, in list order.
    std::vector<qsizetype> sameContacts(qsizetype contact) const;

    static std::uint8_t boldBit(Field field) {
        return std::uint8_t(1u << (int(field) - int(Field::MobilePhone)));
    }

    // Memory held, for the benchmarks.
    qsizetype bytesUsed() const;

private:
    struct Contact {
        qint64 begin;
        // end - begin; NoEnd for a card without "END", FarEnd when the distance does not fit.
        std::uint32_t endDelta;
        std::uint32_t block;
        // Where the contact's header lies in its block: one end offset per non-empty field, then the
        // texts.
        std::uint32_t offset;
        std::uint32_t present : StoredFieldCount; // bit i: field i is not empty
        std::uint32_t bold : 3;
        std::uint32_t familyLength : 5;
        // The end offsets take one code unit each, as the texts are shorter than 64 K characters
        // together (nearly every contact); else two.
        std::uint32_t shortEnds : 1;
    };
    static_assert(sizeof(Contact) == 24);
    static constexpr std::uint32_t NoEnd = 0xFFFFFFFF;
    static constexpr std::uint32_t FarEnd = 0xFFFFFFFE;
    static std::uint32_t endDeltaOf(qint64 begin, qint64 end, bool* far);
    void setEnd(qsizetype contact, qint64 end);
    // Copies the contact records of `other` behind these, their blocks numbered from `blockShift` on and
    // their texts `offsetShift` further in; a table given up (not const) loses each chunk of records once
    // it is copied.
    template <typename From>
    void appendRecords(From& other, std::uint32_t blockShift, std::uint32_t offsetShift);
    static constexpr qsizetype BlockSize = 1 << 20; // characters
    static constexpr qsizetype FirstBlockSize = 1 << 15;
    // Contacts are kept in fixed-size chunks rather than one growing vector, so a million of them are
    // never copied on the way and never held twice.
    static constexpr int ChunkShift = 12;
    static constexpr qsizetype ChunkSize = qsizetype(1) << ChunkShift;

    const Contact& at(qsizetype contact) const {
        return m_chunks[size_t(contact >> ChunkShift)][size_t(contact & (ChunkSize - 1))];
    }
    Contact& at(qsizetype contact) {
        return m_chunks[size_t(contact >> ChunkShift)][size_t(contact & (ChunkSize - 1))];
    }

    std::vector<std::unique_ptr<Contact[]>> m_chunks;
    qsizetype m_size = 0;
    struct FreeBlock {
        size_t mappedBytes = 0; // a block mapped on its own; 0: from malloc
        void operator()(char16_t* block) const;
    };
    // Shared, so that a list with a file added holds the texts of the files it had only once.
    using Block = std::shared_ptr<char16_t[]>;
    static Block allocateBlock(qsizetype characters);
    std::vector<Block> m_blocks;
    std::vector<qsizetype> m_blockSizes;
    qsizetype m_blockUsed = 0;
    // End positions too far from their begin for `endDelta`, by contact in ascending order.
    std::vector<std::pair<qsizetype, qint64>> m_farEnds;
    struct FileEntry {
        qsizetype first;
        std::shared_ptr<const ContactSource> source;
    };
    std::vector<FileEntry> m_files;
    std::vector<std::uint32_t> m_duplicateGroups;
    std::shared_ptr<const ContactGroups> m_groups;
    // Packed CardDates by contact; empty while no contact has a birthday.
    std::vector<std::uint32_t> m_birthdays;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_anniversaries;
    // Appends `other`'s dates and groups to contacts from `shift` on (called before the records are
    // appended).
    void appendDates(const ContactTable& other, qsizetype shift);
    std::uint32_t groupSetOf(const QStringList& names);
    // The number of a country in m_countryNames, 0 for none or for one kept as text (a long one).
    std::uint32_t countryId(QStringView country);
    static constexpr qsizetype MaxCountryLength = 64;
    // Per contact the number of its private and of its work country; each empty while no contact has one.
    std::array<std::vector<std::uint32_t>, 2> m_countries;
    std::vector<QString> m_countryNames{QString()};
    QHash<QStringView, std::uint32_t> m_countryIndex;
    std::uint32_t m_lastCountry = 0;
    // Appends `value` to a vector of one entry per contact, made (with zeros) only for a first value.
    void pushDense(std::vector<std::uint32_t>& values, std::uint32_t value) const {
        if (value != 0 || !values.empty()) {
            values.resize(size_t(m_size)); // zeros for the contacts before the first value
            values.push_back(value);
        }
    }
    std::vector<std::uint32_t> m_groupSets;
    std::vector<QStringList> m_groupSetNames{QStringList()};
    QHash<QStringList, std::uint32_t> m_groupSetIndex;
};

} // namespace tovanel
