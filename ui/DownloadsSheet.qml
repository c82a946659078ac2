pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Tidewell.Model
import Tidewell.Ui

// The Downloads review: the folder's entries with their age and size,
// narrowed by the filter chips, ticked and moved to the Trash. Shown over
// any screen; everything it shows lives in the model.
SheetFrame {
    id: sheet

    required property AppModel model
    readonly property DownloadsModel entries: model.downloadItems
    readonly property bool scanning: model.isScanningDownloads
    readonly property bool hasTree: model.downloadsTree.isValid
    readonly property bool ticked: model.selectedDownloadsCount > 0

    shown: model.showDownloads
    symbol: "arrow.down.circle"
    title: "İndirilenler"
    subtitle: hasTree ? Sheets.countAndSize(model.downloadsTree.childCount, model.downloadsTree.size) : model.downloadsPath
    hint: "Silmek istediklerini işaretle · Çöp Kutusu'ndan geri alınabilir"
    summary: ticked ? Sheets.selectionSummary(model.selectedDownloadsCount, model.selectedDownloadsBytes) : ""
    showDone: false
    hasBar: true
    onDismissed: model.showDownloads = false

    tools: RoundIconButton {
        objectName: "downloadsRefresh"
        symbol: "arrow.clockwise"
        onClicked: sheet.model.scanDownloads()
    }

    bar: [
        Repeater {
            model: Sheets.filterChips()

            FilterChip {
                required property var modelData

                title: modelData.title
                isOn: sheet.model.downloadsFilter === modelData.filter
                onAction: sheet.model.downloadsFilter = modelData.filter
            }
        },
        Item {
            Layout.fillWidth: true
        },
        Text {
            objectName: "toggleAll"
            visible: sheet.entries.count > 0
            text: "Tümünü Seç / Bırak"
            font: Theme.font(12, Font.Medium)
            color: Theme.lightBlue

            MouseArea {
                anchors.fill: parent
                onClicked: sheet.model.toggleAllVisibleDownloads()
            }
        }
    ]

    actions: Rectangle {
        id: trashButton

        objectName: "trashButton"
        readonly property bool deleting: sheet.model.isDeleting

        implicitWidth: trashLabel.implicitWidth + 36
        implicitHeight: trashLabel.implicitHeight + 16
        radius: 9
        color: Qt.rgba(1, 1, 1, 0.06)

        Rectangle {
            anchors.fill: parent
            visible: sheet.ticked
            radius: parent.radius

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

        Text {
            id: trashLabel

            objectName: "trashLabel"
            anchors.centerIn: parent
            opacity: trashButton.deleting ? 0 : 1
            text: "Çöp Kutusu'na Taşı"
            font: Theme.font(13.5, Font.DemiBold)
            color: sheet.ticked ? "white" : Theme.idleButtonText
        }

        BusyIndicator {
            objectName: "trashSpinner"
            anchors.centerIn: parent
            visible: trashButton.deleting
            running: visible
            implicitWidth: 18
            implicitHeight: 18
            padding: 0
        }

        MouseArea {
            anchors.fill: parent
            enabled: sheet.ticked && !trashButton.deleting
            onClicked: sheet.model.trashSelectedDownloads()
        }
    }

    SheetProgress {
        anchors.centerIn: parent
        visible: sheet.scanning
        text: "İndirilenler taranıyor…"
    }

    Text {
        objectName: "downloadsMessage"
        anchors.centerIn: parent
        visible: !sheet.scanning && sheet.entries.count === 0
        text: sheet.hasTree ? "Bu filtreye uyan öğe yok." : "İndirilenler okunamadı."
        font: Theme.font(13, Font.Normal)
        color: Theme.textSecondary
    }

    ListView {
        id: list

        objectName: "downloadsList"
        anchors.fill: parent
        anchors.leftMargin: 16
        anchors.rightMargin: 16
        visible: !sheet.scanning && sheet.entries.count > 0
        topMargin: 10
        bottomMargin: 10
        spacing: 2
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        model: sheet.entries
        ScrollBar.vertical: ScrollBar {
            policy: ScrollBar.AsNeeded
        }

        delegate: DownloadRow {
            width: list.width
            app: sheet.model
            revealMenu: revealMenu
            listedAt: sheet.entries.listedAt
        }
    }

    RevealMenu {
        id: revealMenu
    }
}
