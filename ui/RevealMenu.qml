import QtQuick
import Tidewell.Ui

// The menu of a Downloads entry: show it in the file manager.
AppMenu {
    id: menu

    property var node

    function openFor(node: var) {
        menu.node = node;
        menu.popup();
    }

    AppMenuItem {
        objectName: "revealItem"
        text: "Dosya Yöneticisinde Göster"
        symbol: "folder"
        onTriggered: Ui.reveal(menu.node.path)
    }
}
