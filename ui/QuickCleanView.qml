import QtQuick
import QtQuick.Controls.Basic
import Tidewell.Ui

// The quick-clean panel: the well-known cache folders with their sizes, a
// button that opens each folder and a two-step button that empties it.
// Everything it shows and decides comes from the panel model.
Rectangle {
    id: view

    required property QuickCleanPanel panel

    width: 340
    height: content.implicitHeight
    color: Theme.panelFill
    border.color: Theme.panelStroke
    border.width: 1
    focus: true
    Keys.onEscapePressed: view.panel.dismiss()

    Column {
        id: content

        width: parent.width

        // Header: symbol, title, the measured total and the refresh button.
        Item {
            width: parent.width
            height: 44

            Row {
                anchors.left: parent.left
                anchors.leftMargin: 14
                anchors.verticalCenter: parent.verticalCenter
                spacing: 7

                Icon {
                    anchors.verticalCenter: parent.verticalCenter
                    symbol: "sparkles"
                    size: 13
                    color: Theme.accent
                }

                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: "Hızlı Temizlik"
                    font: Theme.font(14, Font.Bold)
                    color: Theme.textPrimary
                }
            }

            Row {
                anchors.right: parent.right
                anchors.rightMargin: 10
                anchors.verticalCenter: parent.verticalCenter
                spacing: 6

                Text {
                    objectName: "quickCleanTotal"
                    anchors.verticalCenter: parent.verticalCenter
                    visible: view.panel.totalText !== ""
                    text: view.panel.totalText
                    font: Theme.digitsFont(12.5, Font.Medium)
                    color: Theme.textSecondary
                }

                PanelIconButton {
                    objectName: "quickCleanRefresh"
                    anchors.verticalCenter: parent.verticalCenter
                    symbol: "arrow.clockwise"
                    tooltip: "Boyutları yenile"
                    onClicked: view.panel.refresh()
                }
            }
        }

        Rectangle {
            width: parent.width
            height: 1
            color: Theme.hairline
        }

        // Body: the rows, or how to grant access.
        ListView {
            id: rows

            objectName: "quickCleanRows"
            width: parent.width
            visible: view.panel.hasAccess
            height: visible ? Math.min(contentHeight + 12, 480) : 0
            topMargin: 6
            bottomMargin: 6
            interactive: contentHeight + 12 > height
            clip: true
            model: view.panel

            // The rows reach the panel through their view: a delegate with
            // required properties sees nothing else of this file.
            delegate: QuickCleanRow {
                width: ListView.view.width
                panel: ListView.view.model as QuickCleanPanel
            }
        }

        Column {
            objectName: "quickCleanLocked"
            width: parent.width
            visible: !view.panel.hasAccess
            topPadding: 22
            bottomPadding: 22
            spacing: 12

            Icon {
                anchors.horizontalCenter: parent.horizontalCenter
                symbol: "lock"
                size: 22
                color: Theme.textSecondary
            }

            Text {
                objectName: "quickCleanAccessMessage"
                width: parent.width - 40
                anchors.horizontalCenter: parent.horizontalCenter
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                text: view.panel.accessMessage
                font: Theme.font(12.5, Font.Normal)
                color: Theme.textSecondary
            }

            Rectangle {
                objectName: "quickCleanGrant"
                anchors.horizontalCenter: parent.horizontalCenter
                width: grantLabel.implicitWidth + 28
                height: grantLabel.implicitHeight + 14
                radius: 8
                color: Theme.accent

                Text {
                    id: grantLabel

                    anchors.centerIn: parent
                    text: "Uygulamayı Aç ve İzin Ver"
                    font: Theme.font(13, Font.DemiBold)
                    color: "white"
                }

                MouseArea {
                    anchors.fill: parent
                    onClicked: view.panel.openApplication()
                }
            }
        }

        Rectangle {
            width: parent.width
            height: 1
            color: Theme.hairline
        }

        // Footer: bring up the main window.
        Item {
            objectName: "quickCleanOpenApp"
            width: parent.width
            height: 38

            Rectangle {
                anchors.fill: parent
                anchors.margins: 4
                radius: 7
                color: Theme.rowHover
                visible: footerArea.containsMouse
            }

            Row {
                anchors.left: parent.left
                anchors.leftMargin: 14
                anchors.verticalCenter: parent.verticalCenter
                spacing: 8

                Icon {
                    anchors.verticalCenter: parent.verticalCenter
                    symbol: "arrow.up.forward.app"
                    size: 13
                    color: Theme.controlText
                }

                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: "Uygulamayı Aç"
                    font: Theme.font(13, Font.Normal)
                    color: Theme.controlText
                }
            }

            MouseArea {
                id: footerArea

                anchors.fill: parent
                hoverEnabled: true
                onClicked: view.panel.openApplication()
            }
        }
    }

    component PanelIconButton: Rectangle {
        id: iconButton

        property string symbol
        property string tooltip

        signal clicked

        width: 24
        height: 24
        radius: 6
        color: iconArea.containsMouse ? Theme.rowHover : "transparent"

        Icon {
            anchors.centerIn: parent
            symbol: iconButton.symbol
            size: 13
            color: Theme.controlText
        }

        MouseArea {
            id: iconArea

            anchors.fill: parent
            hoverEnabled: true
            onClicked: iconButton.clicked()
        }

        ToolTip.visible: iconArea.containsMouse
        ToolTip.delay: 600
        ToolTip.text: tooltip
    }

    // One cache folder: tile, name (and warning), size, open and empty buttons.
    component QuickCleanRow: Item {
        id: row

        required property QuickCleanPanel panel
        required property string rowId
        required property string name
        required property string symbol
        required property string warning
        required property string errorText
        required property bool isMeasuring
        required property bool isCleaning
        required property string sizeText
        required property color sizeColor
        required property string buttonText
        required property bool confirming

        objectName: "quickCleanRow"
        height: 46

        HoverHandler {
            id: rowHover
        }

        Rectangle {
            anchors.fill: parent
            anchors.leftMargin: 6
            anchors.rightMargin: 6
            radius: 7
            color: Theme.rowHover
            visible: rowHover.hovered
        }

        IconTile {
            id: tile

            anchors.left: parent.left
            anchors.leftMargin: 14
            anchors.verticalCenter: parent.verticalCenter
            implicitWidth: 28
            implicitHeight: 28
            cornerRadius: 7
            symbol: row.symbol
            symbolSize: 14
        }

        Column {
            anchors.left: tile.right
            anchors.leftMargin: 10
            anchors.right: size.left
            anchors.rightMargin: 8
            anchors.verticalCenter: parent.verticalCenter
            spacing: 2

            Row {
                width: parent.width
                spacing: 5

                Text {
                    objectName: "quickCleanName"
                    width: Math.min(implicitWidth, parent.width - (triangle.visible ? triangle.width + 5 : 0))
                    text: row.name
                    elide: Text.ElideRight
                    font: Theme.font(13, Font.Medium)
                    color: Theme.textPrimary
                }

                Icon {
                    id: triangle

                    objectName: "quickCleanWarning"
                    anchors.verticalCenter: parent.verticalCenter
                    visible: row.warning !== ""
                    symbol: "exclamationmark.triangle.fill"
                    size: 11
                    color: Theme.warning

                    HoverHandler {
                        id: triangleHover
                    }

                    ToolTip {
                        objectName: "quickCleanWarningTip"
                        visible: triangleHover.hovered
                        delay: 400
                        text: row.warning
                        width: Math.min(implicitWidth, 280)
                    }
                }
            }

            Text {
                objectName: "quickCleanError"
                width: parent.width
                visible: row.errorText !== ""
                text: row.errorText
                elide: Text.ElideRight
                font: Theme.font(11, Font.Normal)
                color: Theme.danger
            }
        }

        Item {
            id: size

            anchors.right: folderButton.left
            anchors.rightMargin: 4
            anchors.verticalCenter: parent.verticalCenter
            width: Math.max(sizeLabel.implicitWidth, 14)
            height: 20

            BusyIndicator {
                objectName: "quickCleanMeasuring"
                anchors.centerIn: parent
                visible: row.isMeasuring
                running: visible
                implicitWidth: 14
                implicitHeight: 14
                padding: 0
            }

            Text {
                id: sizeLabel

                objectName: "quickCleanSize"
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                visible: !row.isMeasuring
                text: row.sizeText
                font: Theme.digitsFont(12.5, Font.Normal)
                color: row.sizeColor
            }
        }

        PanelIconButton {
            id: folderButton

            objectName: "quickCleanFolder"
            anchors.right: emptyButton.left
            anchors.rightMargin: 4
            anchors.verticalCenter: parent.verticalCenter
            symbol: "folder"
            tooltip: "Klasörü Dosya Yöneticisinde aç"
            onClicked: row.panel.openFolder(row.rowId)
        }

        // Empty: asks first ("Emin misin?"), empties on the second press.
        Rectangle {
            id: emptyButton

            objectName: "quickCleanEmpty"
            readonly property string label: row.buttonText
            readonly property bool hovering: emptyArea.containsMouse

            anchors.right: parent.right
            anchors.rightMargin: 12
            anchors.verticalCenter: parent.verticalCenter
            width: Math.max(emptyLabel.implicitWidth + 18, 74)
            height: 24
            radius: 6
            enabled: !row.isCleaning
            color: row.confirming ? Theme.danger : Qt.rgba(1, 1, 1, hovering && enabled ? 0.12 : 0.07)
            border.color: row.confirming ? "transparent" : Theme.cardStroke
            border.width: 1

            BusyIndicator {
                objectName: "quickCleanCleaning"
                anchors.centerIn: parent
                visible: row.isCleaning
                running: visible
                implicitWidth: 14
                implicitHeight: 14
                padding: 0
            }

            Text {
                id: emptyLabel

                anchors.centerIn: parent
                visible: !row.isCleaning
                text: emptyButton.label
                font: Theme.font(12, Font.Medium)
                color: row.confirming ? "white" : Theme.controlText
            }

            MouseArea {
                id: emptyArea

                anchors.fill: parent
                hoverEnabled: true
                enabled: emptyButton.enabled
                onClicked: row.panel.pressEmpty(row.rowId)
            }
        }
    }
}
