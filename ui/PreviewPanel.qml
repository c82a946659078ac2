import QtQuick
import QtQuick.Controls.Basic
import Tidewell.Model
import Tidewell.Ui

// The in-window preview of the model's quickLookURL, over whatever screen is
// shown: a picture scaled to fit, the start of a text file, or the facts of
// anything else. Escape, Space or the close button empty quickLookURL.
FocusScope {
    id: panel

    required property AppModel model

    function close() {
        panel.model.quickLookURL = "";
    }

    // Where the keyboard was before the preview took it, to give it back.
    property Item previousFocus: null

    visible: preview.kind !== FilePreview.None
    onVisibleChanged: {
        if (visible) {
            previousFocus = Window.activeFocusItem;
            forceActiveFocus();
        } else if (previousFocus !== null) {
            previousFocus.forceActiveFocus();
            previousFocus = null;
        }
    }

    FilePreview {
        id: preview

        url: panel.model.quickLookURL
    }

    Keys.onEscapePressed: close()
    Keys.onSpacePressed: close()

    Rectangle {
        anchors.fill: parent
        color: Qt.rgba(0, 0, 0, 0.55)

        MouseArea {
            anchors.fill: parent
            acceptedButtons: Qt.AllButtons
            onClicked: panel.close()
        }
    }

    Rectangle {
        id: card

        objectName: "previewCard"
        anchors.centerIn: parent
        width: Math.min(parent.width - 80, 760)
        height: Math.min(parent.height - 80, 560)
        radius: 14
        color: Qt.rgba(30 / 255, 30 / 255, 36 / 255, 1)
        border.color: Theme.cardStroke
        border.width: 1

        // Clicks on the card stay on it.
        MouseArea {
            anchors.fill: parent
        }

        Row {
            id: header

            anchors.left: parent.left
            anchors.right: closeButton.left
            anchors.top: parent.top
            anchors.margins: 16
            spacing: 8

            Icon {
                symbol: preview.symbol === "" ? "doc.fill" : preview.symbol
                size: 14
                color: Theme.symbolTint
            }

            Text {
                objectName: "previewName"
                width: header.width - 30
                text: preview.name
                font: Theme.font(14, Font.DemiBold)
                color: Theme.textPrimary
                elide: Text.ElideMiddle
            }
        }

        Rectangle {
            id: closeButton

            objectName: "previewClose"
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.margins: 12
            width: 26
            height: 26
            radius: 13
            color: closeArea.containsMouse ? Qt.rgba(1, 1, 1, 0.12) : Qt.rgba(1, 1, 1, 0.06)

            Icon {
                anchors.centerIn: parent
                symbol: "xmark"
                size: 11
                color: Theme.textPrimary
            }

            MouseArea {
                id: closeArea

                anchors.fill: parent
                hoverEnabled: true
                onClicked: panel.close()
            }
        }

        Item {
            id: body

            anchors.fill: parent
            anchors.topMargin: 52
            anchors.margins: 16

            Image {
                id: picture

                objectName: "previewImage"
                // Shown at its own size when it fits; never enlarged.
                anchors.centerIn: parent
                width: Math.min(parent.width, implicitWidth)
                height: Math.min(parent.height, implicitHeight)
                visible: preview.kind === FilePreview.Image
                source: visible ? panel.model.quickLookURL : ""
                asynchronous: true
                fillMode: Image.PreserveAspectFit
                // Decoded no larger than the screen needs.
                sourceSize.width: 2048
                sourceSize.height: 2048
            }

            ScrollView {
                anchors.fill: parent
                visible: preview.kind === FilePreview.Text
                clip: true

                TextArea {
                    objectName: "previewText"
                    readOnly: true
                    text: preview.text
                    textFormat: TextEdit.PlainText
                    wrapMode: TextEdit.NoWrap
                    font.family: "monospace"
                    font.pixelSize: 12
                    color: Theme.controlText
                    background: null
                }
            }

            Column {
                anchors.centerIn: parent
                width: parent.width
                spacing: 8
                visible: preview.kind === FilePreview.Info || preview.kind === FilePreview.Loading || picture.status === Image.Error

                Icon {
                    anchors.horizontalCenter: parent.horizontalCenter
                    symbol: preview.symbol === "" ? "doc.fill" : preview.symbol
                    size: 48
                    color: Theme.symbolTint
                }

                Repeater {
                    model: [preview.kindText, preview.sizeText, preview.modifiedText]

                    Text {
                        required property string modelData

                        width: parent.width
                        visible: modelData !== ""
                        text: modelData
                        font: Theme.font(13, Font.Normal)
                        color: Theme.textSecondary
                        horizontalAlignment: Text.AlignHCenter
                        elide: Text.ElideMiddle
                    }
                }
            }
        }

        Text {
            objectName: "previewNote"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            anchors.margins: 8
            horizontalAlignment: Text.AlignHCenter
            visible: text !== ""
            text: picture.status === Image.Error ? "Resim okunamadı." : preview.problem !== "" ? preview.problem : preview.truncated ? "Dosyanın ilk 64 KB'ı gösteriliyor." : ""
            font: Theme.font(11, Font.Normal)
            color: Theme.textTertiary
            elide: Text.ElideRight
        }
    }
}
