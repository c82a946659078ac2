pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import QtQuick.Shapes
import Tidewell.Model
import Tidewell.Ui

// The basket: what the user collected for deletion, what deleting it frees,
// and the one button that asks how to delete it.
FocusScope {
    id: basket

    required property AppModel model
    required property NodeContextMenu nodeMenu
    readonly property int count: model.basketItems.count
    readonly property bool empty: count === 0

    implicitWidth: 300
    // Drawn while the keyboard is here.
    property bool showFocus: false

    activeFocusOnTab: true

    Rectangle {
        anchors.fill: parent
        color: Qt.rgba(1, 60 / 255, 50 / 255, 0.03)
        border.color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.5)
        border.width: basket.showFocus ? 1 : 0
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        Item {
            Layout.fillWidth: true
            implicitHeight: header.implicitHeight + 28

            RowLayout {
                id: header

                anchors.fill: parent
                anchors.leftMargin: 18
                anchors.rightMargin: 18
                anchors.topMargin: 16
                anchors.bottomMargin: 12
                spacing: 9

                Icon {
                    symbol: "trash"
                    size: 13
                    font.weight: Font.DemiBold
                    color: Theme.danger
                }

                Text {
                    Layout.fillWidth: true
                    text: "Silme Sepeti"
                    font: Theme.font(15, Font.DemiBold)
                    color: Theme.textPrimary
                }

                Text {
                    objectName: "basketCount"
                    text: basket.count + " öğe"
                    font: Theme.digitsFont(12, Font.Normal)
                    color: Theme.textSecondary
                }
            }

            Rectangle {
                anchors.bottom: parent.bottom
                width: parent.width
                height: 1
                color: Theme.hairline
            }
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true

            Column {
                objectName: "basketEmpty"
                anchors.centerIn: parent
                visible: basket.empty
                spacing: 10

                Shape {
                    anchors.horizontalCenter: parent.horizontalCenter
                    width: 40
                    height: 40

                    ShapePath {
                        strokeColor: Qt.rgba(1, 1, 1, 0.18)
                        strokeWidth: 1.6
                        strokeStyle: ShapePath.DashLine
                        dashPattern: [4 / 1.6, 4 / 1.6]
                        fillColor: "transparent"

                        PathSvg {
                            path: "M 11 0.8 L 29 0.8 A 10.2 10.2 0 0 1 39.2 11 L 39.2 29 A 10.2 10.2 0 0 1 29 39.2 L 11 39.2 A 10.2 10.2 0 0 1 0.8 29 L 0.8 11 A 10.2 10.2 0 0 1 11 0.8 Z"
                        }
                    }
                }

                // `hint` keeps the text as written; PlusHint draws its plus.
                Column {
                    id: hintLines

                    objectName: "basketHint"
                    readonly property string hint: "Silmek istediğin klasörleri\nlisteden ＋ ile buraya ekle."

                    anchors.horizontalCenter: parent.horizontalCenter
                    spacing: 3

                    Text {
                        anchors.horizontalCenter: parent.horizontalCenter
                        text: hintLines.hint.split("\n")[0]
                        font: Theme.font(13, Font.Normal)
                        color: Theme.textTertiary
                    }

                    PlusHint {
                        anchors.horizontalCenter: parent.horizontalCenter
                        hint: hintLines.hint.split("\n")[1]
                        font: Theme.font(13, Font.Normal)
                        iconSize: 12
                    }
                }
            }

            ListView {
                id: rows

                objectName: "basketRows"
                anchors.fill: parent
                visible: !basket.empty
                clip: true
                spacing: 6
                topMargin: 10
                bottomMargin: 10
                boundsBehavior: Flickable.StopAtBounds
                model: basket.model.basketItems

                delegate: BasketRow {
                    x: 10
                    width: rows.width - 20
                    app: basket.model
                    nodeMenu: basket.nodeMenu
                }
            }
        }

        Item {
            Layout.fillWidth: true
            implicitHeight: footer.implicitHeight + 28

            Rectangle {
                width: parent.width
                height: 1
                color: Theme.hairline
            }

            ColumnLayout {
                id: footer

                anchors.fill: parent
                anchors.leftMargin: 16
                anchors.rightMargin: 16
                anchors.topMargin: 14
                anchors.bottomMargin: 14
                spacing: 12

                RowLayout {
                    Layout.fillWidth: true

                    Text {
                        Layout.fillWidth: true
                        text: "Boşalacak alan"
                        font: Theme.font(12.5, Font.Normal)
                        color: Theme.textSecondary
                    }

                    Text {
                        objectName: "basketTotal"
                        text: Results.size(basket.model.basketItems.total)
                        font: Theme.digitsFont(20, Font.Bold)
                        color: Qt.rgba(1, 107 / 255, 98 / 255, 1)
                    }
                }

                Rectangle {
                    id: deleteButton

                    objectName: "deleteButton"
                    readonly property bool deleting: basket.model.isDeleting
                    readonly property bool enabled: !basket.empty && !deleting

                    Layout.fillWidth: true
                    implicitHeight: deleteLabel.implicitHeight + 22
                    radius: 10
                    color: Qt.rgba(1, 1, 1, 0.06)

                    // The danger gradient while there is something to delete.
                    Rectangle {
                        anchors.fill: parent
                        visible: !basket.empty
                        radius: 10

                        gradient: Gradient {
                            GradientStop {
                                position: 0
                                color: Theme.dangerGradient[0]
                            }

                            GradientStop {
                                position: 1
                                color: Theme.dangerGradient[1]
                            }
                        }
                    }

                    Row {
                        id: deleteLabel

                        anchors.centerIn: parent
                        spacing: 8

                        BusyIndicator {
                            anchors.verticalCenter: parent.verticalCenter
                            visible: deleteButton.deleting
                            running: visible
                            implicitWidth: 16
                            implicitHeight: 16
                            padding: 0
                        }

                        Text {
                            objectName: "deleteLabel"
                            anchors.verticalCenter: parent.verticalCenter
                            text: deleteButton.deleting ? "Taşınıyor…" : "Sil"
                            font: Theme.font(15, Font.DemiBold)
                            color: basket.empty ? Qt.rgba(106 / 255, 106 / 255, 114 / 255, 1) : "white"
                        }
                    }

                    MouseArea {
                        anchors.fill: parent
                        enabled: deleteButton.enabled
                        onClicked: basket.model.requestDelete()
                    }
                }
            }
        }
    }
}
