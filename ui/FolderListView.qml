pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Tidewell.Model
import Tidewell.Ui

// The focused folder's children, largest first: size, share, basket button.
// Rows are built only near the visible part of the list.
FocusScope {
    id: list

    required property AppModel model
    required property NodeContextMenu nodeMenu

    function showRow(row: int) {
        rows.positionViewAtIndex(row, ListView.Contain);
    }

    implicitWidth: 390
    // Drawn while the keyboard is here.
    property bool showFocus: false

    activeFocusOnTab: true

    // Leaving the whole list clears the hover it set, once.
    HoverHandler {
        onHoveredChanged: {
            if (!hovered && list.model.hovered !== undefined)
                list.model.hovered = undefined;
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        Item {
            Layout.fillWidth: true
            implicitHeight: header.implicitHeight + 28

            RowLayout {
                id: header

                anchors.fill: parent
                anchors.leftMargin: 18
                anchors.rightMargin: 18
                anchors.topMargin: 16
                anchors.bottomMargin: 12
                spacing: 9

                Rectangle {
                    implicitWidth: 11
                    implicitHeight: 11
                    radius: 5.5
                    color: Theme.folderMarker
                }

                Text {
                    objectName: "folderName"
                    Layout.fillWidth: true
                    text: list.model.focus.isValid ? list.model.focus.name : "—"
                    elide: Text.ElideRight
                    font: Theme.font(16, Font.DemiBold)
                    color: Theme.textPrimary
                }

                Item {
                    implicitWidth: 8
                }

                Text {
                    objectName: "folderSize"
                    text: list.model.focus.isValid ? Results.nodeSize(list.model.focus, list.model.treeVersion) : ""
                    font: Theme.digitsFont(15, Font.DemiBold)
                    color: Qt.rgba(216 / 255, 216 / 255, 222 / 255, 1)
                }
            }

            Rectangle {
                anchors.bottom: parent.bottom
                width: parent.width
                height: 1
                color: Theme.hairline
            }
        }

        ListView {
            id: rows

            objectName: "folderRows"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            spacing: 1
            topMargin: 6
            bottomMargin: 20
            boundsBehavior: Flickable.StopAtBounds
            model: list.model.children

            delegate: FolderRow {
                width: rows.width - 16
                x: 8
                app: list.model
                nodeMenu: list.nodeMenu
                keyboardFocus: list.showFocus
            }
        }
    }

    Rectangle {
        anchors.fill: parent
        color: "transparent"
        visible: list.showFocus
        border.color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.5)
        border.width: 1
    }
}
