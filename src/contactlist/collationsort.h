#pragma once

#include <QStringView>
#include <Qt>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class QCollator;

namespace tovanel {

// Gives the text of a contact, by its index.
using TextOf = std::function<QStringView(std::uint32_t contact)>;

// Reorders `order` (indices below `contactCount`, each at most once) stably by the texts as the
// collator orders them: the same result as a stable sort that compares QCollator sort keys, at a
// fraction of the time and memory for a million texts. Empty texts cost four bytes each and no
// collation. Throws std::bad_alloc with `order` unchanged when memory runs out.
void sortByCollation(std::vector<std::uint32_t>& order, std::size_t contactCount, const TextOf& textOf,
                     const QCollator& collator, Qt::SortOrder sortOrder);
void sortByCollation(std::vector<std::uint32_t>& order, const std::vector<QStringView>& texts,
                     const QCollator& collator, Qt::SortOrder sortOrder);

} // namespace tovanel
