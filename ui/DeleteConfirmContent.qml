pragma ComponentBehavior: Bound

import QtQuick
import Tidewell.Ui

// The inside of the delete confirmation: title, message and the three
// buttons stacked, the default one first in the accent colour.
Column {
    id: content

    property string title
    // {title, role} in order; role is "default", "destructive" or "cancel".
    property var buttons: []

    signal chosen(string role)

    focus: true
    spacing: 14
    Keys.onReturnPressed: content.chosen("default")
    Keys.onEnterPressed: content.chosen("default")

    Text {
        objectName: "confirmTitle"
        width: parent.width
        text: content.title
        font: Theme.font(15, Font.DemiBold)
        color: Theme.textPrimary
        wrapMode: Text.Wrap
        horizontalAlignment: Text.AlignHCenter
    }

    Text {
        objectName: "confirmMessage"
        width: parent.width
        text: "Çöp Kutusu'na taşırsan gerekirse geri alabilirsin. Kalıcı silme, diski hemen boşaltır ama geri alınamaz."
        font: Theme.font(13, Font.Normal)
        color: Theme.textSecondary
        wrapMode: Text.Wrap
        horizontalAlignment: Text.AlignHCenter
    }

    Column {
        width: parent.width
        spacing: 8

        Repeater {
            model: content.buttons

            Rectangle {
                id: button

                required property var modelData
                required property int index
                readonly property string role: modelData.role

                objectName: "confirmButton" + index
                width: parent.width
                implicitHeight: label.implicitHeight + 16
                radius: 8
                color: role === "default" ? Theme.accent : Qt.rgba(1, 1, 1, area.containsMouse ? 0.12 : 0.08)

                Text {
                    id: label

                    anchors.centerIn: parent
                    text: button.modelData.title
                    font: Theme.font(13, button.role === "default" ? Font.DemiBold : Font.Medium)
                    color: button.role === "default" ? "white" : button.role === "destructive" ? Theme.danger : Theme.controlText
                }

                MouseArea {
                    id: area

                    anchors.fill: parent
                    hoverEnabled: true
                    onClicked: content.chosen(button.role)
                }
            }
        }
    }
}
