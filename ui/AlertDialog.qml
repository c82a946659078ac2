pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Templates as T

// The window's own modal alert: a title, a message and its buttons, on a
// dark card over a dimmed window. Escape closes it like the cancel button.
Popup {
    id: alert

    property string title
    property string message
    // Titles of the buttons, the last one the default.
    property var buttons: ["Tamam"]
    // The application's logo above the title (the About dialog).
    property bool showLogo: false

    signal buttonClicked(int index)

    parent: T.Overlay.overlay
    anchors.centerIn: parent
    modal: true
    focus: true
    padding: 22
    width: 380
    closePolicy: Popup.CloseOnEscape

    T.Overlay.modal: Rectangle {
        color: Qt.rgba(0, 0, 0, 0.45)
    }

    background: Rectangle {
        radius: 14
        color: Qt.rgba(30 / 255, 30 / 255, 36 / 255, 1)
        border.color: Qt.rgba(1, 1, 1, 0.1)
        border.width: 1
    }

    contentItem: AlertContent {
        title: alert.title
        message: alert.message
        buttons: alert.buttons
        showLogo: alert.showLogo
        onButtonClicked: index => {
            alert.buttonClicked(index);
            alert.close();
        }
    }
}
