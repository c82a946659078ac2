pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Tidewell.Model
import Tidewell.Ui

// One smart-cleanup category: its total, a button that puts every item in
// the basket, and the largest items when opened. Whether it is open is the
// card's own state.
Rectangle {
    id: card

    required property AppModel app
    required property string title
    required property string subtitle
    required property string icon
    required property real totalSize
    required property real totalCount
    required property real hiddenCount
    required property bool allCovered
    required property CleanupItemsModel items
    required property int resultIndex
    property bool expanded: false

    objectName: "categoryCard"
    implicitHeight: column.implicitHeight
    radius: 10
    color: Theme.cardFill
    border.color: Theme.cardStroke
    border.width: 1

    Column {
        id: column

        width: parent.width

        Item {
            objectName: "cardHeader"
            width: parent.width
            implicitHeight: header.implicitHeight + 24

            MouseArea {
                anchors.fill: parent
                onClicked: card.expanded = !card.expanded
            }

            RowLayout {
                id: header

                anchors.fill: parent
                anchors.leftMargin: 14
                anchors.rightMargin: 14
                spacing: 12

                Rectangle {
                    implicitWidth: 30
                    implicitHeight: 30
                    radius: 8
                    color: Qt.rgba(1, 1, 1, 0.05)

                    Icon {
                        objectName: "categoryIcon"
                        anchors.centerIn: parent
                        symbol: card.icon
                        size: 14
                        color: Theme.lightBlue
                    }
                }

                Column {
                    Layout.fillWidth: true
                    spacing: 2

                    Text {
                        objectName: "categoryTitle"
                        width: parent.width
                        text: card.title
                        elide: Text.ElideRight
                        font: Theme.font(14, Font.DemiBold)
                        color: Theme.textPrimary
                    }

                    Text {
                        objectName: "categoryLine"
                        width: parent.width
                        text: Sheets.categoryLine(card.totalCount, card.subtitle)
                        elide: Text.ElideRight
                        font: Theme.font(11.5, Font.Normal)
                        color: Theme.textSecondary
                    }
                }

                Text {
                    objectName: "categoryTotal"
                    text: Results.size(card.totalSize)
                    font: Theme.digitsFont(14, Font.Bold)
                    color: Theme.amber
                }

                Rectangle {
                    objectName: "addAllButton"
                    readonly property string label: card.allCovered ? "Eklendi ✓" : "Tümünü Ekle"

                    implicitWidth: addLabel.implicitWidth + 20
                    implicitHeight: addLabel.implicitHeight + 10
                    radius: 7
                    color: Qt.rgba(1, 1, 1, card.allCovered ? 0.04 : 0.08)

                    Text {
                        id: addLabel

                        anchors.centerIn: parent
                        text: parent.label
                        font: Theme.font(11.5, Font.DemiBold)
                        color: card.allCovered ? Theme.addedGreen : Theme.controlText
                    }

                    MouseArea {
                        anchors.fill: parent
                        onClicked: card.app.addCategoryToBasket(card.resultIndex)
                    }
                }

                Icon {
                    objectName: "cardChevron"
                    symbol: "chevron.down"
                    size: 10
                    font.weight: Font.DemiBold
                    color: Theme.textTertiary
                    rotation: card.expanded ? 180 : 0
                }
            }
        }

        // Rows are made only while the card is open.
        Column {
            width: parent.width
            visible: card.expanded
            spacing: 1
            bottomPadding: 10
            leftPadding: 10
            rightPadding: 10

            Repeater {
                model: card.expanded ? card.items : null

                CleanupItemRow {
                    width: card.width - 20
                    app: card.app
                }
            }

            Text {
                objectName: "hiddenLine"
                visible: card.hiddenCount > 0
                topPadding: 6
                bottomPadding: 6
                leftPadding: 8
                text: Sheets.hiddenLine(card.hiddenCount)
                font: Theme.font(11, Font.Normal)
                color: Theme.textTertiary
            }
        }
    }
}
