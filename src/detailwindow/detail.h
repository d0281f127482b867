#pragma once

#include <QWidget>

// The detail window of one contact (filled in by the detail-window work).
class Detail final : public QWidget {
    Q_OBJECT
public:
    explicit Detail(QWidget* parent = nullptr);
    bool newDetail = false;
};
