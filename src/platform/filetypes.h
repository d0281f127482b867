#pragma once

#include <QLatin1String>
#include <QString>
#include <QStringList>
#include <span>

namespace tovanel {

// The file types the program knows by name; dialogs and the drop filter are given names, not patterns.
struct FileType {
    QLatin1String name;
    const char16_t* label; // what a file dialog shows, in German

    std::span<const QLatin1String> extensions; // with the leading dot
};

namespace FileTypes {
inline const QString VcfFiles = QStringLiteral("vcf Files");
inline const QString TextFile = QStringLiteral("text File");
inline const QString AllFiles = QStringLiteral("all Files");
inline const QString OpenFilter = QStringLiteral("vcf Files;text File;all Files");

// The known type of that name (ignoring case), or nullptr.
const FileType* find(const QString& name);
// True when the file name ends with one of the type's extensions (ignoring case).
bool matches(const QString& typeName, const QString& fileName);
// Name filters for a file dialog, one per type of the ";"-separated list, e.g.
// "vCard-Dateien (*.vcf *.vcard)".
QStringList dialogFilters(const QString& typeNames);
} // namespace FileTypes

} // namespace tovanel
