import QtQuick
import Tidewell.Ui

// One line of hint text whose full-width plus ("＋") is drawn with the icon
// font's plus: the interface faces have no such character. `hint` keeps the
// text as written.
Row {
    id: line

    property string hint
    property font font: Theme.font(12, Font.Normal)
    property color color: Theme.textTertiary
    property real iconSize: 11
    readonly property var parts: hint.split("＋")

    Text {
        anchors.verticalCenter: parent.verticalCenter
        text: line.parts[0]
        font: line.font
        color: line.color
    }

    Icon {
        anchors.verticalCenter: parent.verticalCenter
        visible: line.parts.length > 1
        symbol: "plus"
        size: line.iconSize
        color: line.color
    }

    Text {
        anchors.verticalCenter: parent.verticalCenter
        visible: line.parts.length > 1
        text: line.parts.slice(1).join("＋")
        font: line.font
        color: line.color
    }
}
