import QtQuick
import QtQuick.Layouts
import Tidewell.Model
import Tidewell.Ui

// One entry of the basket: its name, where it lies, its size, and a way out.
Rectangle {
    id: row

    required property AppModel app
    required property NodeContextMenu nodeMenu
    required property node node
    required property string name
    required property real size
    required property string location

    objectName: "basketRow"
    implicitHeight: content.implicitHeight + 18
    radius: 9
    color: Qt.rgba(1, 1, 1, 0.03)

    TapHandler {
        acceptedButtons: Qt.RightButton
        onTapped: row.nodeMenu.openFor(row.node, true, true)
    }

    RowLayout {
        id: content

        anchors.fill: parent
        anchors.leftMargin: 10
        anchors.rightMargin: 10
        anchors.topMargin: 9
        anchors.bottomMargin: 9
        spacing: 10

        Rectangle {
            implicitWidth: 8
            implicitHeight: 8
            radius: 4
            // Hue 0, saturation 0.7, lightness 0.55.
            color: Qt.hsla(0, 0.7, 0.55, 1)
        }

        Column {
            Layout.fillWidth: true
            spacing: 1

            Text {
                objectName: "basketRowName"
                width: parent.width
                text: row.name
                elide: Text.ElideMiddle
                font: Theme.font(13.5, Font.Normal)
                color: Theme.textPrimary
            }

            // Truncated at the start: the nearest folders stay in sight.
            Text {
                objectName: "basketRowLocation"
                width: parent.width
                text: row.location
                elide: Text.ElideLeft
                font: Theme.font(11.5, Font.Normal)
                color: Theme.textSecondary
            }
        }

        Text {
            text: Results.size(row.size)
            font: Theme.digitsFont(12.5, Font.Normal)
            color: Qt.rgba(185 / 255, 185 / 255, 193 / 255, 1)
        }

        Rectangle {
            objectName: "basketRemove"
            implicitWidth: 20
            implicitHeight: 20
            radius: 10
            color: Qt.rgba(1, 1, 1, 0.08)

            Icon {
                anchors.centerIn: parent
                symbol: "xmark"
                size: 10
                font.weight: Font.Bold
                color: Theme.symbolTint
            }

            MouseArea {
                anchors.fill: parent
                onClicked: row.app.removeFromBasket(row.node)
            }
        }
    }
}
