import QtQuick
import QtQuick.Layouts
import Tidewell.Model
import Tidewell.Ui

// Shown while a scan runs: the location, the live count, the path being
// read, the shimmer and the cancel button.
Item {
    id: view

    required property AppModel model

    Column {
        anchors.centerIn: parent
        width: Math.min(680, parent.width - 80)
        spacing: 30

        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "Tidewell analiz ediyor"
            font: Theme.spacedFont(15, Font.Normal, 0.3, false)
            color: Theme.textSecondary
        }

        Rectangle {
            width: parent.width
            implicitHeight: row.implicitHeight + 44
            radius: 16
            color: Theme.cardFill
            border.color: Theme.cardStroke
            border.width: 1

            RowLayout {
                id: row

                anchors.fill: parent
                anchors.margins: 22
                spacing: 16

                IconTile {
                    symbol: "folder"
                }

                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 8

                    Column {
                        Layout.fillWidth: true

                        Text {
                            objectName: "locationLine"
                            width: parent.width
                            text: Ui.locationLine(view.model.pickedFolderName)
                            font: Theme.font(16, Font.DemiBold)
                            color: Theme.textPrimary
                            elide: Text.ElideRight
                        }

                        Text {
                            objectName: "countLine"
                            text: Ui.countLine(view.model.progress.fileCount, view.model.progress.byteCount)
                            font: Theme.digitsFont(13, Font.Normal)
                            color: Theme.textSecondary
                        }
                    }

                    ShimmerBar {
                        objectName: "shimmerBar"
                        Layout.fillWidth: true
                    }

                    Text {
                        objectName: "pathLine"
                        Layout.fillWidth: true
                        text: Ui.pathLine(view.model.progress.currentPath)
                        font: Theme.font(12.5, Font.Normal)
                        color: Theme.pathText
                        elide: Text.ElideMiddle
                    }
                }

                Rectangle {
                    objectName: "cancelButton"
                    implicitWidth: cancelLabel.implicitWidth + 36
                    implicitHeight: cancelLabel.implicitHeight + 16
                    radius: 9
                    color: Qt.rgba(1, 1, 1, 0.05)
                    border.color: Qt.rgba(1, 1, 1, 0.12)
                    border.width: 1

                    Text {
                        id: cancelLabel

                        anchors.centerIn: parent
                        text: "İptal"
                        font: Theme.font(13.5, Font.Normal)
                        color: Theme.controlText
                    }

                    MouseArea {
                        anchors.fill: parent
                        onClicked: view.model.cancelScan()
                    }
                }
            }
        }
    }
}
