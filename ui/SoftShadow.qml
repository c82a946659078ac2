pragma ComponentBehavior: Bound

import QtQuick

// A blurred shadow under a rounded shape, made of stacked translucent
// rounded rectangles: it renders the same with every scene graph backend,
// the software one included. Fill the shape's area with it.
Item {
    id: shadow

    property color color: "transparent"
    property real blur: 10
    property real offsetX: 0
    property real offsetY: 0
    property real radius: 0
    readonly property int layers: 8

    Repeater {
        model: shadow.layers

        Rectangle {
            required property int index
            // From half the blur inside the shape to half outside it; each
            // layer carries an equal share, so the edge sits at half strength.
            readonly property real grow: shadow.blur * ((index + 0.5) / shadow.layers - 0.5)

            x: shadow.offsetX - grow
            y: shadow.offsetY - grow
            width: shadow.width + 2 * grow
            height: shadow.height + 2 * grow
            radius: Math.max(0, shadow.radius + grow)
            color: Qt.rgba(shadow.color.r, shadow.color.g, shadow.color.b, shadow.color.a / shadow.layers)
        }
    }
}
