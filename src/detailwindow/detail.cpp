#include "detail.h"

Detail::Detail(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Detail"));
    setWindowTitle(QStringLiteral("Detail-Ansicht"));
}
