import QtQuick
import QtQuick.Controls.Basic

// A sheet's content while its list is being made: a spinner over a line.
Column {
    id: progress

    property string text

    spacing: 12

    BusyIndicator {
        anchors.horizontalCenter: parent.horizontalCenter
        running: progress.visible
        implicitWidth: 28
        implicitHeight: 28
        padding: 0
    }

    Text {
        objectName: "sheetProgressText"
        anchors.horizontalCenter: parent.horizontalCenter
        text: progress.text
        font: Theme.font(13, Font.Normal)
        color: Theme.textSecondary
    }
}
