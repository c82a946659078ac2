import QtQuick
import QtQuick.Layouts
import Tidewell.Model
import Tidewell.Ui

// One of the largest files: its rank, name, where it lies, its size and its
// basket button, or a lock when this program may not delete it.
Rectangle {
    id: row

    required property AppModel app
    required property NodeContextMenu nodeMenu
    required property node node
    required property int rank
    required property string name
    required property string path
    required property real size
    required property bool inBasket
    required property bool covered
    // Asked of the model only for rows that are built.
    required property bool canDelete

    objectName: "topFileRow"
    implicitHeight: content.implicitHeight + 10
    radius: 7
    color: Qt.rgba(1, 1, 1, 0.02)

    TapHandler {
        acceptedButtons: Qt.RightButton
        onTapped: row.nodeMenu.openFor(row.node, true, row.inBasket)
    }

    RowLayout {
        id: content

        anchors.fill: parent
        anchors.leftMargin: 8
        anchors.rightMargin: 8
        spacing: 10

        Text {
            objectName: "rank"
            Layout.preferredWidth: 26
            text: row.rank
            font: Theme.digitsFont(11, Font.DemiBold)
            color: Theme.textTertiary
        }

        Column {
            Layout.fillWidth: true
            spacing: 1

            Text {
                objectName: "fileName"
                readonly property font face: Theme.font(13, Font.Normal)

                width: parent.width
                text: row.name
                elide: Text.ElideRight
                font.family: face.family
                font.pointSize: face.pointSize
                font.weight: face.weight
                font.strikeout: row.covered
                color: row.covered ? Theme.rowTextCovered : Theme.rowText
            }

            Text {
                objectName: "filePath"
                width: parent.width
                text: row.path
                elide: Text.ElideMiddle
                font: Theme.font(10.5, Font.Normal)
                color: Theme.textTertiary
            }
        }

        Text {
            text: Results.size(row.size)
            font: Theme.digitsFont(12.5, Font.Medium)
            color: Theme.sizeText
        }

        Item {
            implicitWidth: 20
            implicitHeight: 20

            BasketMarkButton {
                anchors.fill: parent
                visible: row.canDelete
                inBasket: row.inBasket
                onClicked: row.app.toggleBasket(row.node)
            }

            LockMark {
                anchors.centerIn: parent
                visible: !row.canDelete
                size: 9
            }
        }
    }
}
