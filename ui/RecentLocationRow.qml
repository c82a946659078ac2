import QtQuick
import QtQuick.Layouts
import Tidewell.Model
import Tidewell.Ui

// A recently scanned location: a click opens it; its "xmark", shown while
// the pointer is over the row, forgets it without opening it.
Rectangle {
    id: row

    required property AppModel model
    required property var location
    required property int index
    // The select screen's clock, so relative dates move on while it is shown.
    property date now: new Date()
    readonly property bool hovering: area.containsMouse

    implicitHeight: content.implicitHeight + 16
    radius: 9
    color: Qt.rgba(1, 1, 1, hovering ? 0.06 : 0.03)

    MouseArea {
        id: area

        anchors.fill: parent
        hoverEnabled: true
        onClicked: row.model.openSavedLocation(row.index)

        RowLayout {
            id: content

            anchors.fill: parent
            anchors.leftMargin: 12
            anchors.rightMargin: 12
            anchors.topMargin: 8
            anchors.bottomMargin: 8
            spacing: 10

            Icon {
                symbol: "clock.arrow.circlepath"
                size: 12
                color: Theme.textSecondary
            }

            Column {
                Layout.fillWidth: true
                spacing: 1

                Text {
                    width: parent.width
                    text: row.location.name
                    font: Theme.font(13.5, Font.Normal)
                    color: Theme.textPrimary
                    elide: Text.ElideRight
                }

                Text {
                    width: parent.width
                    text: row.location.path
                    font: Theme.font(11.5, Font.Normal)
                    color: Theme.textSecondary
                    elide: Text.ElideMiddle
                }
            }

            Text {
                objectName: "relativeDate"
                text: Ui.relativeDate(row.location.lastScan, row.now)
                font: Theme.font(11.5, Font.Normal)
                color: Theme.textTertiary
            }

            Rectangle {
                objectName: "forgetButton"
                implicitWidth: 18
                implicitHeight: 18
                radius: 9
                color: Qt.rgba(1, 1, 1, 0.08)
                opacity: row.hovering ? 1 : 0

                Icon {
                    anchors.centerIn: parent
                    symbol: "xmark"
                    size: 9
                    font.bold: true
                    color: Theme.symbolTint
                }

                MouseArea {
                    anchors.fill: parent
                    onClicked: row.model.forgetLocation(row.index)
                }
            }
        }
    }
}
