import QtQuick
import QtQuick.Controls.Basic

// An item of the application's dark menus: an optional symbol, the title
// and, on the right, its keyboard shortcut.
MenuItem {
    id: item

    property string symbol
    property string shortcutText

    implicitWidth: Math.max(220, contentItem.implicitWidth + 28)
    implicitHeight: 30

    contentItem: AppMenuItemContent {
        symbol: item.symbol
        title: item.text
        shortcutText: item.shortcutText
        active: item.enabled
    }

    background: Rectangle {
        radius: 5
        color: item.highlighted && item.enabled ? Theme.accent : "transparent"
    }
}
