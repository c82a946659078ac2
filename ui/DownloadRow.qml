import QtQuick
import QtQuick.Layouts
import Tidewell.Model
import Tidewell.Ui

// One entry of the Downloads folder: a click anywhere ticks or unticks it.
Rectangle {
    id: row

    required property AppModel app
    required property RevealMenu revealMenu
    required property node node
    required property string name
    required property real size
    required property bool isDirectory
    required property bool selected
    required property var date
    required property bool old
    required property date listedAt

    objectName: "downloadRow"
    implicitHeight: content.implicitHeight + 12
    radius: 7
    color: Qt.rgba(1, 1, 1, 0.02)

    MouseArea {
        objectName: "rowArea"
        anchors.fill: parent
        acceptedButtons: Qt.LeftButton | Qt.RightButton
        onClicked: mouse => {
            if (mouse.button === Qt.RightButton)
                row.revealMenu.openFor(row.node);
            else
                row.app.toggleDownloadSelection(row.node);
        }
    }

    RowLayout {
        id: content

        anchors.fill: parent
        anchors.leftMargin: 8
        anchors.rightMargin: 8
        spacing: 10

        Icon {
            objectName: "selectionMark"
            symbol: row.selected ? "checkmark.circle.fill" : "circle"
            size: 15
            color: row.selected ? Theme.danger : Theme.markGrey
        }

        Icon {
            Layout.preferredWidth: 14
            symbol: row.isDirectory ? "folder.fill" : "doc.fill"
            size: 11
            color: Theme.textTertiary
        }

        Text {
            objectName: "downloadName"
            readonly property font face: Theme.font(13, Font.Normal)

            Layout.fillWidth: true
            text: row.name
            elide: Text.ElideMiddle
            font.family: face.family
            font.pointSize: face.pointSize
            font.weight: face.weight
            font.strikeout: row.selected
            color: row.selected ? Theme.rowTextTicked : Theme.rowText
        }

        Text {
            objectName: "downloadAge"
            visible: text !== ""
            text: Sheets.age(row.date, row.listedAt)
            font: Theme.font(11, Font.Normal)
            color: row.old ? Theme.amber : Theme.textTertiary
        }

        Text {
            objectName: "downloadSize"
            Layout.preferredWidth: 66
            horizontalAlignment: Text.AlignRight
            text: Results.size(row.size)
            font: Theme.digitsFont(12.5, Font.Medium)
            color: Theme.sizeText
        }
    }
}
