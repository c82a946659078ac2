pragma ComponentBehavior: Bound

import QtQuick

// The inside of an alert: the logo when asked for, the title, the message and a
// row of buttons, the last one the default.
Column {
    id: content

    property string title
    property string message
    property var buttons: []
    property bool showLogo: false

    signal buttonClicked(int index)

    spacing: 14

    AppLogo {
        anchors.horizontalCenter: parent.horizontalCenter
        visible: content.showLogo
        size: 64
    }

    Text {
        objectName: "alertTitle"
        width: parent.width
        text: content.title
        font: Theme.font(15, Font.DemiBold)
        color: Theme.textPrimary
        wrapMode: Text.Wrap
        horizontalAlignment: Text.AlignHCenter
    }

    Text {
        objectName: "alertMessage"
        width: parent.width
        visible: text !== ""
        text: content.message
        textFormat: Text.PlainText
        font: Theme.font(13, Font.Normal)
        color: Theme.textSecondary
        wrapMode: Text.Wrap
        horizontalAlignment: Text.AlignHCenter
    }

    Row {
        anchors.horizontalCenter: parent.horizontalCenter
        spacing: 10

        Repeater {
            model: content.buttons

            Rectangle {
                id: button

                required property string modelData
                required property int index
                readonly property bool isDefault: index === content.buttons.length - 1

                objectName: "alertButton" + index
                implicitWidth: Math.max(96, label.implicitWidth + 36)
                implicitHeight: label.implicitHeight + 14
                radius: 8
                color: isDefault ? Theme.accent : Qt.rgba(1, 1, 1, area.containsMouse ? 0.12 : 0.08)

                Text {
                    id: label

                    anchors.centerIn: parent
                    text: button.modelData
                    font: Theme.font(13, Font.Medium)
                    color: button.isDefault ? "white" : Theme.controlText
                }

                MouseArea {
                    id: area

                    anchors.fill: parent
                    hoverEnabled: true
                    onClicked: content.buttonClicked(button.index)
                }
            }
        }
    }
}
