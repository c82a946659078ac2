import QtQuick
import QtQuick.Controls.Basic

// The dark pop-up menu every menu of the window uses.
Menu {
    padding: 5

    background: Rectangle {
        implicitWidth: 220
        radius: 8
        color: Qt.rgba(34 / 255, 34 / 255, 40 / 255, 0.98)
        border.color: Qt.rgba(1, 1, 1, 0.1)
        border.width: 1
    }

    delegate: AppMenuItem {}
}
