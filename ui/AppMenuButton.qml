import QtQuick

// The window's menu, at the top-right corner of every screen (Linux windows
// have no global application menu).
Rectangle {
    id: button

    readonly property bool hovering: area.containsMouse

    signal clicked

    implicitWidth: 30
    implicitHeight: 28
    radius: 8
    color: Qt.rgba(1, 1, 1, hovering ? 0.09 : 0.04)
    border.color: Qt.rgba(1, 1, 1, 0.09)
    border.width: 1

    Icon {
        anchors.centerIn: parent
        symbol: "line.3.horizontal"
        size: 14
        color: Theme.controlText
    }

    MouseArea {
        id: area

        anchors.fill: parent
        hoverEnabled: true
        onClicked: button.clicked()
    }
}
