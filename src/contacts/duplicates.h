#pragma once

#include <QtGlobal>
#include <cstdint>
#include <vector>

namespace tovanel {

class ContactTable;

// Contacts that are the same person: within one file or across the files of a list, two contacts are
// duplicates when they share a telephone number, an e-mail address or a UID, and transitively so (A shares
// a number with B, B an address with C: one group). Nothing is merged; the groups only mark.
//
// The keys:
// - each of the three telephone cells by its telephoneKey (contacts/telephone.h): "+49 171 1234567",
//   "0049 (0)171 1234567" and "0171/1234567" are one number. A cell of fewer than MinTelephoneDigits digits
//   ("12", "+1") is no key.
// - the e-mail cell without the blanks around it, ignoring letter case.
// - the UID exactly (letter case counts), without the blanks around it.
// A number never matches an e-mail address or a UID, whatever their text. A cell longer than
// MaxKeyCharacters characters is no key: no address, number or UID is that long.
namespace Duplicates {
inline constexpr int MinTelephoneDigits = 3;
inline constexpr qsizetype MaxKeyCharacters = 1000;
} // namespace Duplicates

// The duplicate group of every contact of `table`, as ContactTable::setDuplicateGroups takes it: 0 for a
// contact without duplicates, else 1 + the number of the group's first contact. Empty when no contact has
// a duplicate. Found by sorting hashes of the keys, not by comparing pairs; the keys of contacts whose
// hashes agree are compared in full, so that two strangers are never joined by a chance of the hash.
// Besides the result (4 bytes per contact, none without duplicates) it takes 8 bytes per key of the
// numbers, then of the e-mail addresses and UIDs: at most 24 bytes per contact. Throws std::bad_alloc when
// that is not to be had.
std::vector<std::uint32_t> findDuplicateGroups(const ContactTable& table);
// The same keeping only the top `hashBits` bits (0–64) of each hash, so that tests can make every key
// collide with every other.
std::vector<std::uint32_t> findDuplicateGroups(const ContactTable& table, int hashBits);

} // namespace tovanel
