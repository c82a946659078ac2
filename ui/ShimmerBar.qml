import QtQuick

// An indeterminate progress bar: a highlight of at least 60 points sweeps
// across the track every 1.1 s, entering at the left and leaving at the right.
Item {
    id: bar

    property real phase
    readonly property real highlightWidth: Math.max(0.35 * width, 60)

    implicitHeight: 9
    clip: true

    Rectangle {
        anchors.fill: parent
        radius: height / 2
        color: Theme.cardStroke
    }

    Rectangle {
        objectName: "shimmerHighlight"
        width: bar.highlightWidth
        height: bar.height
        x: 1.35 * bar.width * bar.phase - 0.35 * bar.width
        radius: height / 2

        gradient: Gradient {
            orientation: Gradient.Horizontal

            // The clear ends keep the hue of their neighbours, so the fade
            // does not pass through grey.
            GradientStop { position: 0; color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0) }
            GradientStop { position: 1 / 3; color: Theme.accent }
            GradientStop { position: 2 / 3; color: Theme.accentDeep }
            GradientStop { position: 1; color: Qt.rgba(Theme.accentDeep.r, Theme.accentDeep.g, Theme.accentDeep.b, 0) }
        }
    }

    NumberAnimation on phase {
        from: 0
        to: 1
        duration: 1100
        loops: Animation.Infinite
    }
}
