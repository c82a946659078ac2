import QtQuick

// A chip of the Downloads filter row: lit while its filter is the active one.
Rectangle {
    id: chip

    property string title
    property bool isOn

    signal action

    objectName: "filterChip"
    implicitWidth: label.implicitWidth + 22
    implicitHeight: label.implicitHeight + 10
    radius: 7
    color: isOn ? Theme.chipOn : Qt.rgba(1, 1, 1, 0.05)

    Text {
        id: label

        anchors.centerIn: parent
        text: chip.title
        font: Theme.font(12, chip.isOn ? Font.DemiBold : Font.Normal)
        color: chip.isOn ? Theme.lightBlue : Theme.controlText
    }

    MouseArea {
        anchors.fill: parent
        onClicked: chip.action()
    }
}
