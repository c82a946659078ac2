pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Templates as T
import Tidewell.Model
import Tidewell.Ui

// Asks how to delete the basket: to the Trash (the default), for good, or
// not at all. Shown while the model's showDeleteConfirm is set; any way of
// closing it writes false back.
Popup {
    id: dialog

    required property AppModel model
    readonly property bool wanted: model.showDeleteConfirm
    // Buttons in order: title, role ("default", "destructive", "cancel").
    readonly property var buttons: [
        {
            "title": "Çöp Kutusu'na Taşı",
            "role": "default"
        },
        {
            "title": "Kalıcı Olarak Sil — Geri Alınamaz",
            "role": "destructive"
        },
        {
            "title": "İptal",
            "role": "cancel"
        }
    ]

    function choose(role: string) {
        dialog.close();
        if (role === "default")
            dialog.model.deleteBasket(false);
        else if (role === "destructive")
            dialog.model.deleteBasket(true);
    }

    parent: T.Overlay.overlay
    anchors.centerIn: parent
    modal: true
    focus: true
    padding: 22
    width: 340
    closePolicy: Popup.CloseOnEscape
    onWantedChanged: wanted ? open() : close()
    onClosed: dialog.model.showDeleteConfirm = false
    Component.onCompleted: if (wanted) open()

    T.Overlay.modal: Rectangle {
        color: Qt.rgba(0, 0, 0, 0.45)
    }

    background: Rectangle {
        radius: 14
        color: Qt.rgba(30 / 255, 30 / 255, 36 / 255, 1)
        border.color: Qt.rgba(1, 1, 1, 0.1)
        border.width: 1
    }

    contentItem: FocusScope {
        implicitHeight: column.implicitHeight
        focus: true
        Keys.onReturnPressed: dialog.choose("default")
        Keys.onEnterPressed: dialog.choose("default")

        Column {
            id: column

            width: parent.width
            spacing: 14

            Text {
                objectName: "confirmTitle"
                width: parent.width
                text: Results.deleteTitle(dialog.model.basketItems.count, dialog.model.basketItems.total)
                font: Theme.font(15, Font.DemiBold)
                color: Theme.textPrimary
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
            }

            Text {
                objectName: "confirmMessage"
                width: parent.width
                text: "Çöp Kutusu'na taşırsan gerekirse geri alabilirsin. Kalıcı silme, diski hemen boşaltır ama geri alınamaz."
                font: Theme.font(13, Font.Normal)
                color: Theme.textSecondary
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
            }

            Column {
                width: parent.width
                spacing: 8

                Repeater {
                    model: dialog.buttons

                    Rectangle {
                        id: button

                        required property var modelData
                        required property int index
                        readonly property string role: modelData.role

                        objectName: "confirmButton" + index
                        width: parent.width
                        implicitHeight: label.implicitHeight + 16
                        radius: 8
                        color: role === "default" ? Theme.accent : Qt.rgba(1, 1, 1, area.containsMouse ? 0.12 : 0.08)

                        Text {
                            id: label

                            anchors.centerIn: parent
                            text: button.modelData.title
                            font: Theme.font(13, button.role === "default" ? Font.DemiBold : Font.Medium)
                            color: button.role === "default" ? "white" : button.role === "destructive" ? Theme.danger : Theme.controlText
                        }

                        MouseArea {
                            id: area

                            anchors.fill: parent
                            hoverEnabled: true
                            onClicked: dialog.choose(button.role)
                        }
                    }
                }
            }
        }
    }
}
