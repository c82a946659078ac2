import QtQuick

// The quiet button of the select screen. Disabled it keeps its resting
// background under the pointer and dims its title.
Rectangle {
    id: button

    property string title
    readonly property bool hovering: area.containsMouse

    signal clicked

    implicitWidth: label.implicitWidth + 36
    implicitHeight: label.implicitHeight + 18
    radius: 9
    color: Qt.rgba(1, 1, 1, hovering && enabled ? 0.08 : 0.04)
    border.color: Qt.rgba(1, 1, 1, 0.1)
    border.width: 1

    Text {
        id: label

        anchors.centerIn: parent
        text: button.title
        font: Theme.font(13.5, Font.Normal)
        color: Theme.controlText
        opacity: button.enabled ? 1 : 0.4
    }

    MouseArea {
        id: area

        anchors.fill: parent
        hoverEnabled: true
        onClicked: button.clicked()
    }
}
