pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic
import Tidewell.Model
import Tidewell.Ui

// One click back to the parent or the grandparent of the focused folder.
Row {
    id: chips

    required property AppModel model

    padding: 10
    spacing: 6

    Repeater {
        model: Results.backChips(chips.model.path)

        Rectangle {
            id: chip

            required property var modelData

            objectName: "quickBackChip"
            implicitWidth: label.implicitWidth + 20
            implicitHeight: label.implicitHeight + 12
            radius: height / 2
            color: Qt.rgba(0, 0, 0, 0.6)
            border.color: Qt.rgba(1, 1, 1, 0.14)
            border.width: 1
            ToolTip.visible: area.containsMouse
            ToolTip.delay: 600
            ToolTip.text: Results.folderTooltip(chip.modelData.name)

            Row {
                id: label

                anchors.centerIn: parent
                spacing: 5

                Icon {
                    anchors.verticalCenter: parent.verticalCenter
                    symbol: "chevron.left"
                    size: 9
                    font.weight: Font.Bold
                    color: Theme.controlText
                }

                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: chip.modelData.name
                    font: Theme.font(11.5, Font.Medium)
                    color: Theme.controlText
                }
            }

            MouseArea {
                id: area

                anchors.fill: parent
                hoverEnabled: true
                onClicked: chips.model.jumpTo(chip.modelData)
            }
        }
    }
}
