// How a widget carries its numeric control id, so that code and tests find it by that id.
#pragma once

#include <QString>
#include <QWidget>

namespace kvu::ui {

inline void tagControl(QWidget* widget, int id) {
    widget->setObjectName(QString::number(id));
    widget->setProperty("controlId", id);
}

}  // namespace kvu::ui
