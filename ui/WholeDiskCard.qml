import QtQuick
import QtQuick.Layouts
import Tidewell.Model
import Tidewell.Ui

// The card that scans the whole start-up disk.
Rectangle {
    id: card

    required property AppModel model

    width: 640
    implicitHeight: row.implicitHeight + 32
    radius: 16
    color: Theme.cardFill
    border.color: Theme.cardStroke
    border.width: 1

    RowLayout {
        id: row

        anchors.fill: parent
        anchors.margins: 16
        spacing: 12

        IconTile {
            symbol: "internaldrive"
        }

        Column {
            Layout.fillWidth: true
            spacing: 2

            Text {
                text: Ui.startupDiskName
                font: Theme.font(16, Font.DemiBold)
                color: Theme.textPrimary
            }

            Text {
                text: card.model.startupDiskLabel
                font: Theme.font(13, Font.Normal)
                color: Theme.textSecondary
            }
        }

        Item {
            objectName: "scanWholeDiskButton"
            implicitWidth: scanLabel.implicitWidth + 52
            implicitHeight: scanLabel.implicitHeight + 22

            SoftShadow {
                anchors.fill: parent
                color: Theme.accentShadow
                blur: 9
                offsetY: 6
                radius: 10
            }

            Rectangle {
                anchors.fill: parent
                radius: 10

                gradient: Gradient {
                    GradientStop { position: 0; color: Theme.accent }
                    GradientStop { position: 1; color: Theme.accentDeep }
                }
            }

            Text {
                id: scanLabel

                anchors.centerIn: parent
                text: "Tara"
                font: Theme.font(15, Font.DemiBold)
                color: "white"
            }

            MouseArea {
                anchors.fill: parent
                onClicked: card.model.scanWholeDisk()
            }
        }
    }
}
