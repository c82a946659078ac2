import QtQuick
import QtQuick.Controls.Basic
import Tidewell.Model
import Tidewell.Ui

// Chooses how the map is drawn; the model stores the choice.
Rectangle {
    id: button

    required property AppModel model
    required property int mode
    property string icon
    property string tooltip
    readonly property bool selected: model.vizMode === mode

    implicitWidth: 26
    implicitHeight: 22
    radius: 6
    color: selected ? Qt.rgba(74 / 255, 163 / 255, 1, 0.16) : Qt.rgba(1, 1, 1, 0.04)
    ToolTip.visible: area.containsMouse
    ToolTip.delay: 600
    ToolTip.text: tooltip

    Icon {
        anchors.centerIn: parent
        symbol: button.icon
        size: 11
        font.weight: Font.Medium
        color: button.selected ? Qt.rgba(124 / 255, 192 / 255, 1, 1) : Theme.symbolTint
    }

    MouseArea {
        id: area

        anchors.fill: parent
        hoverEnabled: true
        onClicked: button.model.vizMode = button.mode
    }
}
