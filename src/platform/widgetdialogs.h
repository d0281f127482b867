#pragma once

#include "platform/dialogs.h"

class QWidget;

namespace tovanel {

// Dialogs shown as real modal Qt dialogs over a parent window.
class WidgetDialogs final : public Dialogs {
public:
    explicit WidgetDialogs(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    void message(const QString& text) override;
    QString openFile(const QString& fileTypes) override;
    QStringList openFiles(const QString& fileTypes) override;
    SaveChoice saveFile(const SaveRequest& request) override;
    bool ask(const QString& question) override;

private:
    QWidget* m_parent;
};

} // namespace tovanel
