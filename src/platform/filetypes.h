#pragma once

#include <QString>
#include <QStringList>

// The file types the program knows by name; dialogs and the drop filter are given names, not patterns.
struct FileType {
    QString name;
    QStringList extensions; // with the leading dot
    QString macType;
    QString macCreator;
};

namespace FileTypes {
inline const QString VcfFiles = QStringLiteral("vcf Files");
inline const QString TextFile = QStringLiteral("text File");
inline const QString OpenFilter = QStringLiteral("vcf Files;text File");

void registerType(const FileType& type);
// The registered type of that name, or nullptr.
const FileType* find(const QString& name);
// True when the file name ends with one of the type's extensions (ignoring case).
bool matches(const QString& typeName, const QString& fileName);
// Name filters for a file dialog, one per type of the ";"-separated list, e.g. "vcf Files (*.vcf)".
QStringList dialogFilters(const QString& typeNames);
} // namespace FileTypes
