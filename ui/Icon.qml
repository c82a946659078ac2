import QtQuick
import Tidewell.Ui

// A symbol by its name, drawn from the icon font.
Text {
    property string symbol
    property real size: 12

    text: Ui.glyph(symbol)
    font.family: Ui.iconFamily
    font.pixelSize: Math.round(size * 1.15)
    horizontalAlignment: Text.AlignHCenter
    verticalAlignment: Text.AlignVCenter
}
