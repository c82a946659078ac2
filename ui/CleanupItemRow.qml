import QtQuick
import QtQuick.Layouts
import Tidewell.Model
import Tidewell.Ui

// One item of an open smart-cleanup card: struck through while the basket
// covers it, with its basket button.
Rectangle {
    id: row

    required property AppModel app
    required property node node
    required property string name
    required property string path
    required property real size
    required property bool inBasket
    required property bool covered

    objectName: "cleanupItemRow"
    implicitHeight: content.implicitHeight + 10
    radius: 7
    color: Qt.rgba(1, 1, 1, 0.02)

    RowLayout {
        id: content

        anchors.fill: parent
        anchors.leftMargin: 8
        anchors.rightMargin: 8
        spacing: 10

        Column {
            Layout.fillWidth: true
            spacing: 1

            Text {
                objectName: "itemName"
                readonly property font face: Theme.font(12.5, Font.Normal)

                width: parent.width
                text: row.name
                elide: Text.ElideMiddle
                font.family: face.family
                font.pointSize: face.pointSize
                font.weight: face.weight
                font.strikeout: row.covered
                color: row.covered ? Theme.rowTextCovered : Theme.rowText
            }

            Text {
                objectName: "itemPath"
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

        BasketMarkButton {
            inBasket: row.inBasket
            onClicked: row.app.toggleBasket(row.node)
        }
    }
}
