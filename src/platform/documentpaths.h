#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace tovanel {

// What the files and folders a user named come to: the files to read, and what the window tells about
// the folders that gave none.
struct DocumentFiles {
    struct UnreadableFolder {
        QString folder;
        QString reason; // a German sentence (systemErrorReason)
        friend bool operator==(const UnreadableFolder&, const UnreadableFolder&) = default;
    };
    // Each file once, in the order the paths were given; a folder's files in its place.
    QStringList files;
    // Folders named that hold no vCard file, as far down as they are looked through and none of their
    // subfolders was unreadable ("Im Ordner „x“ ist keine vCard-Datei.").
    QStringList foldersWithoutVcards;
    // Folders that could not be looked through at all: named ones, and subfolders of named ones.
    QList<UnreadableFolder> unreadableFolders;
};

// How many levels of subfolders below a named folder are looked through.
inline constexpr int DocumentFolderDepth = 3;

// Turns the paths a user gave (command line, desktop, drop, open dialog, a second launch) into the files
// to read. A path that is no folder is kept as it is, whatever its name and whether it exists at all: the
// reader says what is wrong with it. A folder gives its .vcf and .vcard files (in any case) and those of
// its subfolders down to DocumentFolderDepth levels; hidden names (a leading dot) are passed over there,
// and so is anything that is not a regular file. In each folder its own files come first, then each
// subfolder's, each in German name order with the numbers in names compared as numbers. A file reached
// twice (named twice, inside a folder also named, through a link) is read once. Names that are not
// UTF-8 are kept as fileNameFromNative keeps them.
DocumentFiles expandDocumentPaths(const QStringList& paths);

} // namespace tovanel
