import QtQuick
import Tidewell.Ui

// The application's icon, framed size × size with rounded corners; the
// brand gradient square when the icon cannot be loaded.
Item {
    id: logo

    property real size: 74
    property bool shadow: false

    width: size
    height: size

    SoftShadow {
        anchors.fill: parent
        visible: logo.shadow
        color: Theme.logoShadow
        blur: 20
        offsetY: 12
        radius: 0.22 * logo.size
    }

    Image {
        id: icon

        anchors.fill: parent
        source: "icons/tidewell.svg"
        sourceSize.width: logo.size * 2
        sourceSize.height: logo.size * 2
        fillMode: Image.PreserveAspectFit
        smooth: true
        mipmap: true
    }

    GradientRect {
        anchors.fill: parent
        visible: icon.status === Image.Error
        colors: Theme.brandGradient
        start: Qt.point(0, 0)
        end: Qt.point(1, 1)
        cornerRadius: 0.27 * logo.size
    }
}
