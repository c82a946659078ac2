import QtQuick
import QtQuick.Controls.Basic

// The lock of an item this program may not delete, with its tooltip.
Icon {
    id: lock

    readonly property string tooltip: "Sistem öğesi — bu uygulama silemez"

    objectName: "lockIcon"
    symbol: "lock"
    color: Theme.markGrey
    ToolTip.visible: lockArea.containsMouse
    ToolTip.delay: 600
    ToolTip.text: tooltip

    MouseArea {
        id: lockArea

        anchors.fill: parent
        hoverEnabled: true
    }
}
