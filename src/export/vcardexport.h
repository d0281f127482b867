#pragma once

#include "card/versionedcard.h"
#include "export/contactexport.h"
#include "export/contactrecords.h"

#include <memory>

namespace tovanel {

// Every listed card written anew in `version` (versionedCard). A card that cannot be read now (its file
// changed, a card over the size limit) is left out and counted; the notice tells how many cards were
// written and what was rewritten, by kind.
std::unique_ptr<ContactRecords> vcardRecords(VcardVersion version);

// The name a written card carries in FN: the list's name, as it is; empty where the list shows none, as
// anything else would say what the card does not.
QString writtenCardName(const ContactTable& table, qsizetype contact);

// One vCard file per listed contact in `folder`, a new folder or an empty one (exportRefusal), each named
// after its contact ("Müller Jürgen.vcf", " (2)" for a name taken) and written whole or not at all. A
// failed or cancelled export takes away the files it wrote, and the folder when it made it.
ExportResult exportCardFolder(const ExportRequest& request, const QString& folder, VcardVersion version);

// A contact's file name in a folder export, without the extension: no "/", no control characters, no
// leading dot, at most 200 bytes; "Kontakt" for a name with nothing left.
QString cardFileName(QStringView name);

} // namespace tovanel
