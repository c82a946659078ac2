import QtQuick

// A small round button with a symbol: the sheets' refresh and close buttons.
Rectangle {
    id: button

    property string symbol
    property real symbolSize: 11

    signal clicked

    implicitWidth: 24
    implicitHeight: 24
    radius: width / 2
    color: Qt.rgba(1, 1, 1, area.containsMouse ? 0.12 : 0.08)

    Icon {
        anchors.centerIn: parent
        symbol: button.symbol
        size: button.symbolSize
        font.weight: Font.DemiBold
        color: Theme.textSecondary
    }

    MouseArea {
        id: area

        anchors.fill: parent
        hoverEnabled: true
        onClicked: button.clicked()
    }
}
