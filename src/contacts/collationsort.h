#pragma once

#include <QStringView>
#include <Qt>
#include <cstdint>
#include <vector>

class QCollator;

// Reorders `order` (indices into `texts`) stably by the texts as the collator orders them: the same
// result as a stable sort that compares QCollator sort keys, at a fraction of the time and memory for a
// million texts.
void sortByCollation(std::vector<std::uint32_t>& order, const std::vector<QStringView>& texts,
                     const QCollator& collator, Qt::SortOrder sortOrder);
