#include "platform/filetypes.h"

namespace tovanel {

namespace {
// Both extensions registered for the format.
constexpr QLatin1String VcfExtensions[] = {QLatin1String(".vcf"), QLatin1String(".vcard")};
constexpr QLatin1String TextExtensions[] = {
    QLatin1String(".asc"),   QLatin1String(".ascii"), QLatin1String(".bas"), QLatin1String(".c"),
    QLatin1String(".class"), QLatin1String(".cp"),    QLatin1String(".cpp"), QLatin1String(".h"),
    QLatin1String(".hp"),    QLatin1String(".hpp"),   QLatin1String(".i3"),  QLatin1String(".java"),
    QLatin1String(".m2"),    QLatin1String(".m3"),    QLatin1String(".mak"), QLatin1String(".text"),
    QLatin1String(".txt")};

// Every name ends with the empty extension.
constexpr QLatin1String AnyExtension[] = {QLatin1String("")};

constexpr FileType KnownTypes[] = {
    {QLatin1String("vcf Files"), u"vCard-Dateien", VcfExtensions},
    {QLatin1String("text File"), u"Textdateien", TextExtensions},
    {QLatin1String("all Files"), u"Alle Dateien", AnyExtension},
};
} // namespace

namespace FileTypes {

const FileType* find(const QString& name) {
    for (const FileType& known : KnownTypes) {
        if (name.compare(known.name, Qt::CaseInsensitive) == 0) {
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
    for (const QLatin1String extension : type->extensions) {
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
        for (const QLatin1String extension : type->extensions) {
            patterns << QLatin1Char('*') + extension;
        }
        filters << QStringLiteral("%1 (%2)").arg(QString::fromUtf16(type->label),
                                                 patterns.join(QLatin1Char(' ')));
    }
    return filters;
}

} // namespace FileTypes

} // namespace tovanel
