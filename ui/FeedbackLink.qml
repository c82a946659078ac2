import QtQuick
import Tidewell.Ui

// "Geri bildirim gönder": opens a new mail with the version and system filled in.
Item {
    id: link

    readonly property bool hovering: area.containsMouse
    readonly property color tint: hovering ? Theme.linkHover : Theme.textTertiary

    implicitWidth: row.implicitWidth
    implicitHeight: row.implicitHeight + 4

    Row {
        id: row

        y: 4
        spacing: 6

        Icon {
            anchors.verticalCenter: parent.verticalCenter
            symbol: "envelope"
            size: 11
            color: link.tint
        }

        Text {
            objectName: "feedbackText"
            anchors.verticalCenter: parent.verticalCenter
            text: "Geri bildirim gönder"
            font: Theme.spacedFont(12, Font.Normal, 0, link.hovering)
            color: link.tint
        }
    }

    MouseArea {
        id: area

        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: Ui.openFeedbackMail()
    }
}
