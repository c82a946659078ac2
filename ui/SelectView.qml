pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Dialogs
import Tidewell.Model
import Tidewell.Ui

// The start screen: scan the whole disk, a folder (chosen or dropped here)
// or a recent location, or review Downloads.
Item {
    id: view

    required property AppModel model
    property date now: new Date()

    // Relative dates move on while the screen is shown.
    Timer {
        interval: 30000
        repeat: true
        running: true
        onTriggered: view.now = new Date()
    }

    Flickable {
        id: flick

        anchors.fill: parent
        anchors.margins: 40
        contentWidth: width
        contentHeight: Math.max(height, column.implicitHeight)
        boundsBehavior: Flickable.StopAtBounds
        clip: true

        Column {
            id: column

            anchors.horizontalCenter: parent.horizontalCenter
            y: Math.max(0, (flick.height - implicitHeight) / 2)
            spacing: 34

            Column {
                anchors.horizontalCenter: parent.horizontalCenter
                spacing: 16

                AppLogo {
                    anchors.horizontalCenter: parent.horizontalCenter
                    size: 74
                    shadow: true
                }

                Column {
                    anchors.horizontalCenter: parent.horizontalCenter
                    spacing: 4

                    Text {
                        anchors.horizontalCenter: parent.horizontalCenter
                        text: "Tidewell"
                        font: Theme.spacedFont(26, Font.Bold, -0.5, false)
                        color: Theme.textPrimary
                    }

                    Text {
                        anchors.horizontalCenter: parent.horizontalCenter
                        text: "Diskini tara, neyin yer kapladığını gör, temizle."
                        font: Theme.font(14, Font.Normal)
                        color: Theme.textSecondary
                    }
                }
            }

            WholeDiskCard {
                anchors.horizontalCenter: parent.horizontalCenter
                model: view.model
            }

            Column {
                objectName: "recentLocations"
                anchors.horizontalCenter: parent.horizontalCenter
                width: 640
                spacing: 6
                visible: view.model.savedLocations.length > 0

                Text {
                    objectName: "recentHeading"
                    x: 6
                    text: "SON TARAMALAR"
                    font: Theme.spacedFont(10.5, Font.DemiBold, 1.1, false)
                    color: Theme.textTertiary
                }

                Repeater {
                    model: view.model.savedLocations

                    RecentLocationRow {
                        required property var modelData

                        width: 640
                        model: view.model
                        location: modelData
                        now: view.now
                    }
                }
            }

            Row {
                anchors.horizontalCenter: parent.horizontalCenter
                spacing: 12

                SecondaryButton {
                    objectName: "chooseFolderButton"
                    title: "Klasör Tara…"
                    onClicked: folderDialog.open()
                }

                SecondaryButton {
                    title: "İndirilenler"
                    onClicked: {
                        view.model.showDownloads = true;
                        view.model.scanDownloads();
                    }
                }
            }

            Row {
                anchors.horizontalCenter: parent.horizontalCenter
                spacing: 16

                FeedbackLink {}
            }
        }
    }

    // A folder dropped from the file manager is scanned.
    DropArea {
        anchors.fill: parent
        keys: ["text/uri-list"]
        onEntered: drag => drag.accepted = Ui.droppedFolder(drag.urls).toString() !== ""
        onDropped: drop => {
            const folder = Ui.droppedFolder(drop.urls);
            if (folder.toString() === "")
                return;
            drop.acceptProposedAction();
            view.model.startScan(folder);
        }
    }

    FolderDialog {
        id: folderDialog

        title: "Klasör Seç"
        onAccepted: view.model.startScan(selectedFolder)
    }
}
