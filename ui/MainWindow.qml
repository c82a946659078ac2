import QtQuick
import QtQuick.Window
import Tidewell.Model
import Tidewell.QuickClean
import Tidewell.Ui

// A main window. Every one shows the same model, so a scan started in one
// shows in all.
Window {
    id: window

    required property AppModel model
    required property QuickCleanModel quickClean
    required property UpdateChecker updates
    required property WindowHub hub

    width: 1120
    height: 720
    minimumWidth: 960
    minimumHeight: 640
    title: "Tidewell"
    color: Theme.backgroundBottom

    RootView {
        objectName: "rootView"
        anchors.fill: parent
        model: window.model
        updates: window.updates
        hub: window.hub
    }

    Shortcut {
        sequence: "Ctrl+N"
        onActivated: window.hub.openWindow()
    }

    Shortcut {
        sequence: "Ctrl+Q"
        onActivated: Qt.quit()
    }
}
