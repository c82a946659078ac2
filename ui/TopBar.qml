pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Tidewell.Model
import Tidewell.Ui

// The results screen's top bar: the brand, how full the disk is, the three
// analysis chips, the way back and where we are.
Rectangle {
    id: bar

    required property AppModel model

    implicitHeight: row.implicitHeight + 24
    color: Qt.rgba(1, 1, 1, 0.015)

    Rectangle {
        anchors.bottom: parent.bottom
        width: parent.width
        height: 1
        color: Theme.hairline
    }

    RowLayout {
        id: row

        anchors.fill: parent
        anchors.leftMargin: 18
        // The window's menu button sits at the right end of every screen.
        anchors.rightMargin: 18 + 30 + 14
        anchors.topMargin: 12
        anchors.bottomMargin: 12
        spacing: 14

        Row {
            spacing: 9

            AppLogo {
                anchors.verticalCenter: parent.verticalCenter
                size: 26
            }

            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: "Tidewell"
                font: Theme.spacedFont(14.5, Font.Bold, -0.2, false)
                color: Theme.textPrimary
            }
        }

        Rectangle {
            implicitWidth: 1
            implicitHeight: 20
            color: Qt.rgba(1, 1, 1, 0.1)
        }

        DiskUsage {
            model: bar.model
        }

        ToolbarChip {
            objectName: "smartChip"
            icon: "sparkles"
            title: "Akıllı Temizlik"
            onClicked: bar.model.openSmartCleanup()
        }

        ToolbarChip {
            objectName: "downloadsChip"
            icon: "arrow.down.circle"
            title: "İndirilenler"
            onClicked: {
                bar.model.showDownloads = true;
                bar.model.scanDownloads();
            }
        }

        ToolbarChip {
            objectName: "topFilesChip"
            icon: "list.number"
            title: "En Büyük 100"
            onClicked: bar.model.openTopFiles()
        }

        Item {
            Layout.fillWidth: true
            Layout.minimumWidth: 12
            Layout.preferredWidth: 12
        }

        Rectangle {
            id: back

            objectName: "backButton"
            readonly property string title: Results.backTitle(bar.model.path)
            readonly property string tooltip: Results.backTooltip(bar.model.path)

            implicitWidth: Math.min(150, backLabel.implicitWidth + 20)
            implicitHeight: 26
            radius: 7
            color: Qt.rgba(1, 1, 1, 0.04)
            border.color: Qt.rgba(1, 1, 1, 0.09)
            border.width: 1
            ToolTip.visible: backArea.containsMouse
            ToolTip.delay: 600
            ToolTip.text: tooltip

            Row {
                id: backLabel

                anchors.left: parent.left
                anchors.leftMargin: 10
                anchors.verticalCenter: parent.verticalCenter
                spacing: 5

                Icon {
                    anchors.verticalCenter: parent.verticalCenter
                    symbol: "chevron.left"
                    size: 12
                    color: Theme.symbolTint
                }

                Text {
                    objectName: "backTitle"
                    anchors.verticalCenter: parent.verticalCenter
                    width: Math.min(implicitWidth, 150 - 20 - 5 - 14)
                    text: back.title
                    elide: Text.ElideMiddle
                    font: Theme.font(12, Font.Medium)
                    color: Theme.symbolTint
                }
            }

            MouseArea {
                id: backArea

                anchors.fill: parent
                hoverEnabled: true
                onClicked: {
                    if (bar.model.path.length < 2)
                        bar.model.resetToSelect();
                    else
                        bar.model.goUp();
                }
            }
        }

        // Squeezed first when the window is narrow; the focused folder at
        // its right end stays in sight.
        Item {
            Layout.fillWidth: true
            Layout.preferredWidth: crumbs.implicitWidth
            Layout.maximumWidth: crumbs.implicitWidth
            Layout.minimumWidth: 0
            implicitHeight: crumbs.implicitHeight
            clip: true

            Breadcrumb {
                id: crumbs

                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                model: bar.model
            }
        }
    }
}
