pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Tidewell.Model
import Tidewell.Ui

// The results screen: the top bar over the map, the folder list and the
// basket. Keys that no pane takes arrive here: the folder list's highlight
// (the model's hovered child), walking in and out, the preview, the basket.
FocusScope {
    id: view

    required property AppModel model
    // Focus is drawn once the keyboard is used: a pointer user sees the
    // screen as designed.
    property bool keyboardUsed: false

    // Moves the highlight and keeps its row in sight.
    function step(delta: int) {
        const row = Results.stepHover(view.model, delta);
        if (row >= 0)
            folderList.showRow(row);
    }

    Component.onCompleted: mapPane.forceActiveFocus()

    Keys.onPressed: event => {
        view.keyboardUsed = true;
        const ctrl = (event.modifiers & Qt.ControlModifier) !== 0;
        switch (event.key) {
        case Qt.Key_Up:
            view.step(-1);
            break;
        case Qt.Key_Down:
            view.step(1);
            break;
        case Qt.Key_Return:
        case Qt.Key_Enter:
        case Qt.Key_Right:
            Results.enterHovered(view.model);
            break;
        case Qt.Key_Backspace:
        case Qt.Key_Left:
            view.model.goUp();
            break;
        case Qt.Key_Space:
            // Passed on when nothing is hovered.
            event.accepted = Results.previewHovered(view.model);
            return;
        case Qt.Key_Delete:
            if (ctrl)
                view.model.requestDelete();
            else
                Results.toggleHovered(view.model);
            break;
        default:
            event.accepted = false;
            return;
        }
        event.accepted = true;
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        TopBar {
            Layout.fillWidth: true
            model: view.model
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 0

            MapPane {
                id: mapPane

                objectName: "mapPane"
                Layout.fillWidth: true
                Layout.fillHeight: true
                model: view.model
                nodeMenu: nodeMenu
                showFocus: view.keyboardUsed && activeFocus
            }

            Rectangle {
                Layout.fillHeight: true
                implicitWidth: 1
                color: Theme.hairline
            }

            FolderListView {
                id: folderList

                objectName: "folderList"
                Layout.fillHeight: true
                model: view.model
                nodeMenu: nodeMenu
                showFocus: view.keyboardUsed && activeFocus
            }

            Rectangle {
                Layout.fillHeight: true
                implicitWidth: 1
                color: Theme.hairline
            }

            BasketView {
                objectName: "basketView"
                Layout.fillHeight: true
                model: view.model
                nodeMenu: nodeMenu
                showFocus: view.keyboardUsed && activeFocus
            }
        }
    }

    // Pop-ups take the keyboard while open; it comes back to the pane that had it.
    NodeContextMenu {
        id: nodeMenu

        objectName: "nodeMenu"
        model: view.model
        onClosed: view.forceActiveFocus()
    }

    DeleteConfirmDialog {
        objectName: "deleteConfirm"
        model: view.model
        onClosed: view.forceActiveFocus()
    }
}
