import QtQuick
import Tidewell.Model
import Tidewell.Ui

// How full the scanned volume is, and what this session has freed.
Row {
    id: usage

    required property AppModel model
    readonly property real fraction: Results.usageFraction(model.volumeTotal, model.volumeFree)

    spacing: 10

    Column {
        anchors.verticalCenter: parent.verticalCenter
        spacing: 1

        Text {
            objectName: "usageLine"
            anchors.right: parent.right
            text: Results.usageLine(usage.model.root, usage.model.volumeFree, usage.model.treeVersion)
            font: Theme.font(12, Font.Normal)
            color: Theme.textSecondary
        }

        Text {
            objectName: "freedLine"
            anchors.right: parent.right
            visible: text !== ""
            text: Results.freedLine(usage.model.freed)
            font: Theme.font(11, Font.Normal)
            color: Qt.rgba(143 / 255, 182 / 255, 95 / 255, 1)
        }
    }

    Rectangle {
        objectName: "usageBar"
        anchors.verticalCenter: parent.verticalCenter
        visible: usage.fraction >= 0
        width: 120
        height: 8
        radius: 4
        color: Qt.rgba(1, 1, 1, 0.08)

        Rectangle {
            objectName: "usageFill"
            width: 120 * Math.max(0, usage.fraction)
            height: 8
            radius: 4
            visible: width > 0

            gradient: Gradient {
                orientation: Gradient.Horizontal

                GradientStop {
                    position: 0
                    color: Theme.usageGradient[0]
                }

                GradientStop {
                    position: 1
                    color: Theme.usageGradient[1]
                }
            }
        }
    }
}
