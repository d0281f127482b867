#include "platform/widgetdialogs.h"

#include "platform/filetypes.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace tovanel {

void WidgetDialogs::message(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok,
                    m_parent);
    box.exec();
}

QString WidgetDialogs::openFile(const QString& fileTypes) {
    const QStringList filters = FileTypes::dialogFilters(fileTypes);
    // The desktop's own file chooser where its platform theme offers one (GNOME, KDE, the portal),
    // Qt's dialog with its German texts otherwise.
    return QFileDialog::getOpenFileName(m_parent, QString(), QString(), filters.join(QStringLiteral(";;")));
}

QStringList WidgetDialogs::openFiles(const QString& fileTypes) {
    const QStringList filters = FileTypes::dialogFilters(fileTypes);
    return QFileDialog::getOpenFileNames(m_parent, QString(), QString(), filters.join(QStringLiteral(";;")));
}

bool WidgetDialogs::ask(const QString& question) {
    return QMessageBox::question(m_parent, QGuiApplication::applicationDisplayName(), question,
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

namespace {

// Qt's save dialog, which under the folder filter takes the folder named, an existing one too, instead of
// entering it: "Speichern" writes into the folder in the name field, a click on a folder puts its name
// there, a double click still opens it. The desktop's own dialog, where there is one, has none of Qt's
// widgets and picks as it does.
class SaveDialog final : public QFileDialog {
public:
    SaveDialog(QWidget* parent, const SaveRequest& request)
        : QFileDialog(parent, QString(), request.suggestedPath, request.filters.join(QStringLiteral(";;"))),
          m_request(request) {
        setAcceptMode(AcceptSave);
        setFileMode(AnyFile);
        // chooseSaveFile asks about replacing, after refusing what must not be written at all.
        setOption(DontConfirmOverwrite);
        selectNameFilter(request.filters.value(request.selectedFilter));
        m_filter = std::max(0, request.selectedFilter);
        setDefaultSuffix(filterSuffix(request.filters.value(m_filter)));
        connect(this, &QFileDialog::filterSelected, this, &SaveDialog::useFilter);
        connect(this, &QFileDialog::currentChanged, this, &SaveDialog::nameFolder);
        if (auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
            // After Qt's own handler, which calls a named folder's button "Öffnen".
            connect(name, &QLineEdit::textChanged, this, &SaveDialog::labelAcceptButton);
        }
        // A folder suggested (the one refused, back again) is named beside its neighbours, not entered.
        if (const QFileInfo suggested(request.suggestedPath); suggested.isDir()) {
            setDirectory(suggested.absolutePath());
            selectFile(suggested.fileName());
        }
        labelAcceptButton();
    }

    int chosenFilter() const { return m_filter; }

    void accept() override {
        if (folderChosen()) {
            if (!selectedFiles().value(0).isEmpty()) {
                QDialog::accept();
            }
            return;
        }
        QFileDialog::accept();
    }

private:
    bool folderChosen() const { return m_filter == m_request.folderFilter; }

    void useFilter(const QString& filter) {
        const bool wasFolder = folderChosen();
        m_filter = int(m_request.filters.indexOf(filter));
        const QString suffix = filterSuffix(filter);
        // Qt's dialog adds the extension to a name typed without one only when it is accepted, and swaps
        // an extension for the new filter's; the folder's name has none, and the file's shows its own.
        setDefaultSuffix(suffix);
        auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!name) {
            return;
        }
        const QFileInfo typed(name->text());
        if (folderChosen() && !typed.suffix().isEmpty()) {
            name->setText(typed.completeBaseName());
        } else if (wasFolder && !suffix.isEmpty() && !name->text().isEmpty() && typed.suffix().isEmpty()) {
            name->setText(name->text() + u'.' + suffix);
        }
        labelAcceptButton();
    }

    void nameFolder(const QString& path) {
        const QFileInfo current(path);
        auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (folderChosen() && name && current.isDir() && !name->hasFocus()) {
            name->setText(current.fileName());
        }
    }

    void labelAcceptButton() {
        auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        if (folderChosen() && buttons && !buttons->buttons().isEmpty()) {
            buttons->buttons().constFirst()->setText(QCoreApplication::translate("QFileDialog", "&Save"));
        }
    }

    SaveRequest m_request;
    int m_filter = 0;
};

} // namespace

SaveChoice WidgetDialogs::saveFile(const SaveRequest& request) {
    SaveDialog dialog(m_parent, request);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().value(0).isEmpty()) {
        return {};
    }
    // The desktop's own dialog tells its filter only when it closes.
    const qsizetype filter = request.filters.indexOf(dialog.selectedNameFilter());
    return {.path = dialog.selectedFiles().constFirst(),
            .filter = filter >= 0 ? int(filter) : dialog.chosenFilter()};
}

} // namespace tovanel
