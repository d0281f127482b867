#include "filetypes.h"

#include <vector>

namespace {
std::vector<FileType>& registry() {
    static std::vector<FileType> types;
    return types;
}
} // namespace

namespace FileTypes {

void registerType(const FileType& type) {
    for (FileType& known : registry()) {
        if (known.name == type.name) {
            known = type;
            return;
        }
    }
    registry().push_back(type);
}

const FileType* find(const QString& name) {
    for (const FileType& known : registry()) {
        if (known.name.compare(name, Qt::CaseInsensitive) == 0) {
            return &known;
        }
    }
    return nullptr;
}

bool matches(const QString& typeName, const QString& fileName) {
    const FileType* type = find(typeName);
    if (!type) {
        return false;
    }
    for (const QString& extension : type->extensions) {
        if (fileName.endsWith(extension, Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

QStringList dialogFilters(const QString& typeNames) {
    QStringList filters;
    for (const QString& name : typeNames.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const FileType* type = find(name);
        if (!type) {
            continue;
        }
        QStringList patterns;
        for (const QString& extension : type->extensions) {
            patterns << QLatin1Char('*') + extension;
        }
        filters << QStringLiteral("%1 (%2)").arg(type->name, patterns.join(QLatin1Char(' ')));
    }
    return filters;
}

} // namespace FileTypes
