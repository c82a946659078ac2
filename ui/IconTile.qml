import QtQuick
import Tidewell.Ui

// The 48 × 48 tile with a symbol that leads the select and scanning cards.
GradientRect {
    id: tile

    property string symbol
    property real symbolSize: 20

    implicitWidth: 48
    implicitHeight: 48
    colors: Theme.tileGradient
    start: Qt.point(0, 0)
    end: Qt.point(1, 1)
    cornerRadius: 11
    borderColor: Qt.rgba(1, 1, 1, 0.08)

    Icon {
        anchors.centerIn: parent
        symbol: tile.symbol
        size: tile.symbolSize
        color: Theme.symbolTint
    }
}
