import QtQuick

// The round basket button of a row: a check on red while the node is in the
// basket, a plus otherwise.
Rectangle {
    id: button

    property bool inBasket
    property real symbolSize: 10

    signal clicked

    objectName: "basketButton"
    implicitWidth: 20
    implicitHeight: 20
    radius: width / 2
    color: inBasket ? Theme.danger : Qt.rgba(1, 1, 1, 0.09)

    Icon {
        anchors.centerIn: parent
        symbol: button.inBasket ? "checkmark" : "plus"
        size: button.symbolSize
        font.weight: Font.Bold
        color: button.inBasket ? "white" : Theme.symbolTint
    }

    MouseArea {
        anchors.fill: parent
        onClicked: button.clicked()
    }
}
