#include "contactlist/contactlist.h"

#include "platform/displaytext.h"
#include "platform/germantext.h"

namespace tovanel {

QString listName(const ContactTable& table) {
    if (table.fileCount() == 0) {
        return {};
    }
    // A direction control in the name must not turn "gnp.exe" into "exe.png" in a title either.
    QString name = shownFileName(table.fileSource(0)->path);
    if (table.fileCount() > 1) {
        name += QStringLiteral(" und %1 weitere").arg(germanNumber(table.fileCount() - 1));
    }
    return name;
}

} // namespace tovanel
