import QtQuick
import QtQuick.Controls.Basic

MenuSeparator {
    topPadding: 4
    bottomPadding: 4

    contentItem: Rectangle {
        implicitWidth: 200
        implicitHeight: 1
        color: Qt.rgba(1, 1, 1, 0.1)
    }
}
