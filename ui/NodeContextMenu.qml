pragma ComponentBehavior: Bound

import QtQuick
import Tidewell.Model
import Tidewell.Ui

// The menu of every row and cell that shows a tree node. Its items come from
// Ui.nodeMenu: none when disabled; preview and reveal; then the basket item
// when the node is in the basket or may be deleted.
AppMenu {
    id: menu

    required property AppModel model
    property var node

    // Rebuilds the items for `node` and opens the menu at the pointer.
    function openFor(node: var, enabled: bool, inBasket: bool) {
        menu.node = node;
        while (menu.count > 0)
            menu.takeItem(0).destroy();
        const entries = Ui.nodeMenu(menu.model, node, enabled, inBasket);
        for (const entry of entries) {
            if (entry.kind === "separator") {
                menu.addItem(separatorComponent.createObject(null));
                continue;
            }
            const item = itemComponent.createObject(null, {
                "text": entry.title,
                "symbol": entry.symbol,
                "kind": entry.kind
            });
            menu.addItem(item);
        }
        if (menu.count > 0)
            menu.popup();
    }

    function run(kind: string) {
        const node = menu.node;
        if (kind === "preview")
            menu.model.quickLookURL = Ui.fileUrl(node.path, node.isDirectory);
        else if (kind === "reveal")
            Ui.reveal(node.path);
        else if (kind === "toggleBasket")
            menu.model.toggleBasket(node);
    }

    Component {
        id: itemComponent

        AppMenuItem {
            property string kind

            onTriggered: menu.run(kind)
        }
    }

    Component {
        id: separatorComponent

        AppMenuSeparator {}
    }
}
