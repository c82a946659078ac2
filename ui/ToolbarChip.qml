import QtQuick

// A small labelled button of the toolbars: a symbol and a title.
Rectangle {
    id: chip

    property string icon
    property string title
    readonly property bool hovering: area.containsMouse

    signal clicked

    implicitWidth: label.implicitWidth + 22
    implicitHeight: label.implicitHeight + 12
    radius: 8
    color: Qt.rgba(1, 1, 1, hovering ? 0.09 : 0.04)
    border.color: Qt.rgba(1, 1, 1, 0.09)
    border.width: 1

    Row {
        id: label

        anchors.centerIn: parent
        spacing: 5

        Icon {
            anchors.verticalCenter: parent.verticalCenter
            symbol: chip.icon
            size: 10.5
            color: Theme.controlText
        }

        Text {
            anchors.verticalCenter: parent.verticalCenter
            text: chip.title
            font: Theme.font(12.5, Font.Medium)
            color: Theme.controlText
        }
    }

    MouseArea {
        id: area

        anchors.fill: parent
        hoverEnabled: true
        onClicked: chip.clicked()
    }
}
