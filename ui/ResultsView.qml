import QtQuick
import Tidewell.Model
import Tidewell.Viz

// The results screen's frame until its top bar, folder list and basket
// arrive: the map of the scanned tree with the node menu, and a way back.
Item {
    id: view

    required property AppModel model

    TreemapView {
        anchors.fill: parent
        anchors.topMargin: 56
        model: view.model
        onContextMenuRequested: (node, isDirectory, inBasket, position) => {
            nodeMenu.openFor(node, true, inBasket);
        }
    }

    ToolbarChip {
        x: 18
        y: 14
        icon: "chevron.left"
        title: "Yeni Tarama"
        onClicked: view.model.resetToSelect()
    }

    NodeContextMenu {
        id: nodeMenu

        objectName: "nodeMenu"
        model: view.model
    }
}
