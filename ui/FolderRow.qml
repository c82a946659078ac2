import QtQuick
import Tidewell.Model
import Tidewell.Ui

// One child of the focused folder in the folder list.
Item {
    id: row

    required property AppModel app
    required property NodeContextMenu nodeMenu
    property bool keyboardFocus: false

    required property node node
    required property string name
    required property real size
    required property real fraction
    required property color colour
    required property bool hasChildren
    required property bool inBasket
    required property bool covered
    // Asked of the model only for rows that are built.
    required property bool canDelete

    readonly property font nameFont: Theme.font(14, Font.Normal)
    readonly property bool highlighted: app.hovered !== undefined && node.sameNode(app.hovered)

    objectName: "folderRow"
    implicitHeight: content.implicitHeight + 18

    // The row's rounded shape, with the share bar cut square at its end.
    Item {
        objectName: "shareBar"
        width: row.width * row.fraction
        height: row.height
        clip: true

        Rectangle {
            width: row.width
            height: row.height
            radius: 9
            color: Qt.rgba(row.colour.r, row.colour.g, row.colour.b, 0.1)
        }
    }

    Rectangle {
        anchors.fill: parent
        radius: 9
        color: row.highlighted ? Qt.rgba(1, 1, 1, 0.05) : "transparent"
        border.color: Theme.accent
        border.width: row.highlighted && row.keyboardFocus ? 1 : 0
    }

    HoverHandler {
        onHoveredChanged: {
            if (hovered)
                row.app.hovered = row.node;
            else if (row.highlighted)
                row.app.hovered = undefined;
        }
    }

    TapHandler {
        acceptedButtons: Qt.RightButton
        onTapped: row.nodeMenu.openFor(row.node, true, row.inBasket)
    }

    Row {
        id: content

        anchors.left: parent.left
        anchors.right: parent.right
        anchors.leftMargin: 10
        anchors.rightMargin: 10
        anchors.verticalCenter: parent.verticalCenter
        spacing: 10

        Rectangle {
            anchors.verticalCenter: parent.verticalCenter
            width: 9
            height: 9
            radius: 4.5
            color: row.colour
        }

        Text {
            id: nameText

            objectName: "rowName"
            anchors.verticalCenter: parent.verticalCenter
            width: content.width - 9 - sizeText.width - 24 - 3 * content.spacing
            text: row.name
            elide: Text.ElideMiddle
            font.family: row.nameFont.family
            font.pixelSize: row.nameFont.pixelSize
            font.weight: row.nameFont.weight
            font.strikeout: row.inBasket
            color: row.covered ? Qt.rgba(127 / 255, 127 / 255, 134 / 255, 1) : Qt.rgba(228 / 255, 228 / 255, 232 / 255, 1)

            // A file or an empty folder has nothing to walk into.
            MouseArea {
                anchors.fill: parent
                onClicked: {
                    if (row.hasChildren)
                        row.app.jumpTo(row.node);
                }
            }
        }

        Text {
            id: sizeText

            objectName: "rowSize"
            anchors.verticalCenter: parent.verticalCenter
            text: Results.size(row.size)
            font: Theme.digitsFont(13.5, Font.Normal)
            color: Qt.rgba(185 / 255, 185 / 255, 193 / 255, 1)
        }

        Item {
            anchors.verticalCenter: parent.verticalCenter
            width: 24
            height: 24

            BasketMarkButton {
                anchors.fill: parent
                visible: row.canDelete
                inBasket: row.inBasket
                symbolSize: 11
                onClicked: row.app.toggleBasket(row.node)
            }

            LockMark {
                anchors.centerIn: parent
                visible: !row.canDelete
                size: 10
            }
        }
    }
}
