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

    contentItem: DeleteConfirmContent {
        title: Results.deleteTitle(dialog.model.basketItems.count, dialog.model.basketItems.total)
        buttons: dialog.buttons
        onChosen: role => dialog.choose(role)
    }
}
