import QtQuick

// What a menu item shows: symbol, title and shortcut.
Item {
    id: content

    property string symbol
    property string title
    property string shortcutText
    property bool active: true

    implicitWidth: row.implicitWidth + (shortcutText !== "" ? shortcut.implicitWidth + 24 : 0)
    implicitHeight: row.implicitHeight

    Row {
        id: row

        anchors.verticalCenter: parent.verticalCenter
        spacing: 8

        Icon {
            visible: content.symbol !== ""
            anchors.verticalCenter: parent.verticalCenter
            symbol: content.symbol
            size: 13
            color: Theme.controlText
            opacity: content.active ? 1 : 0.4
        }

        Text {
            anchors.verticalCenter: parent.verticalCenter
            text: content.title
            font: Theme.font(13, Font.Normal)
            color: Theme.textPrimary
            opacity: content.active ? 1 : 0.4
        }
    }

    Text {
        id: shortcut

        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        text: content.shortcutText
        font: Theme.font(12, Font.Normal)
        color: Theme.textTertiary
    }
}
