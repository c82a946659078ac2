pragma ComponentBehavior: Bound

import QtQuick
import Tidewell.Model
import Tidewell.Ui

// Where we are: the path from the root to the focused folder; from seven
// entries on, the root, "…" and the last four.
Row {
    id: crumbs

    required property AppModel model

    spacing: 5

    Repeater {
        model: Results.breadcrumb(crumbs.model.path)

        Row {
            id: item

            required property var modelData
            required property int index

            anchors.verticalCenter: parent.verticalCenter
            spacing: 5

            Text {
                anchors.verticalCenter: parent.verticalCenter
                visible: item.index > 0
                text: "›"
                font: Theme.font(12, Font.Normal)
                color: Qt.rgba(90 / 255, 90 / 255, 98 / 255, 1)
            }

            Text {
                objectName: "breadcrumbGap"
                anchors.verticalCenter: parent.verticalCenter
                visible: item.modelData.gap
                text: "…"
                font: Theme.font(13, Font.Normal)
                color: Qt.rgba(90 / 255, 90 / 255, 98 / 255, 1)
            }

            Rectangle {
                objectName: "breadcrumbItem"
                anchors.verticalCenter: parent.verticalCenter
                visible: !item.modelData.gap
                implicitWidth: label.implicitWidth + 18
                implicitHeight: label.implicitHeight + 8
                radius: 7
                color: item.modelData.last ? Qt.rgba(74 / 255, 163 / 255, 1, 0.16) : "transparent"

                Text {
                    id: label

                    anchors.centerIn: parent
                    text: item.modelData.gap ? "" : item.modelData.node.name
                    font: Theme.font(13, Font.Normal)
                    color: item.modelData.last ? Qt.rgba(124 / 255, 192 / 255, 1, 1) : Theme.symbolTint
                }

                MouseArea {
                    anchors.fill: parent
                    onClicked: crumbs.model.jumpTo(item.modelData.node)
                }
            }
        }
    }
}
